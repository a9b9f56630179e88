// Sequence step: the tunneling driver, installed by this version's driver tool.
#include "DriverTool.h"
#include "InstallationSteps.h"
#include "ProductLayout.h"

#include <install-common/Customization.h>

#include <exception>

namespace {

// The tool's answer when the driver is installed but needs a restart to be used.
const unsigned long kRebootRequired = 1;

} // namespace

void installDrivers(InstallationRun& run) {
    try {
        const DriverTool tool(run.moduleFolder);
        const unsigned long code = tool.run("install", OVVpnCustomization::getOpenVpnTunnelingDriverName());
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"drivertool.exe install returned %d", static_cast<int>(code));
        if (code == 0 && OVVpnCustomization::isWintunSupported()) {
            OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Mark wintun driver installation completed");
            run.registry.writeString(product::kProductKey, L"TunnelingDriverChangeDone", L"true");
        }
        run.driverReboot = code == kRebootRequired;
    } catch (const std::exception&) {
        // Without a tool that ran, nothing says the driver is usable before a restart.
        OV_SEQUENCE_LOG(OvKmfLogging::Error, L"drivertool.exe install returned exception");
        run.driverReboot = true;
    }
}
