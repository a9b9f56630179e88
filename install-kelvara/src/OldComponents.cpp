// Sequence step: upgrade detection, and the removal of what the earlier version runs: its network
// drivers (with its own driver tool), its client and tunnel processes, two values of its client.
#include "DriverTool.h"
#include "InstallationSteps.h"
#include "ProductLayout.h"

#include <install-common/Customization.h>
#include <install-common/ExecuteApplication.h>
#include <ov/ModulePaths.h>
#include <ov/SamePath.h>

#include <exception>

void detectUpgrade(InstallationRun& run) {
    // A missing key or value, another type and an empty text all mean a first installation.
    run.upgrade = run.registry.readString(product::kProductKey, L"AppPath", run.previousFolder) &&
                  !run.previousFolder.empty();
    if (!run.upgrade) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"First time installation");
        return;
    }
    // This version's own folder in AppPath, and another one recorded as being left: an earlier run of
    // this version was cut short during its upgrade, which is finished now.
    std::wstring leaving;
    if (ov::isSamePath(run.previousFolder, ov::getExecutableFolder()) &&
        run.registry.readString(product::kProductKey, product::kUpgradeFromValue, leaving) &&
        !leaving.empty() && !ov::isSamePath(leaving, run.previousFolder)) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Resuming the interrupted upgrade from %s", leaving.c_str());
        run.previousFolder = leaving;
    }
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Upgrade scenario, old installation detected in: %s",
                    run.previousFolder.c_str());
}

namespace {

// Each removal stands alone: a tool that is missing or fails changes nothing for the others.
void removeOldDriver(const DriverTool& tool, const char* operation, const wchar_t* label,
                     const std::string& driver) {
    try {
        const unsigned long code = tool.run(operation, driver);
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"drivertool.exe %s returned %d", label, static_cast<int>(code));
    } catch (const std::exception&) {
        OV_SEQUENCE_LOG(OvKmfLogging::Error, L"drivertool.exe %s returned exception", label);
    }
}

} // namespace

void removeOldComponents(InstallationRun& run) {
    if (!run.upgrade) {
        return;
    }
    const DriverTool tool(run.previousFolder);
    const std::string tunnelingDriver = OVVpnCustomization::getOpenVpnTunnelingDriverName();
    removeOldDriver(tool, "uninstall", L"uninstall", tunnelingDriver);

    const std::string tapDriver = OVVpnCustomization::getOpenVpnTapDriverName();
    if (OVVpnCustomization::isWintunSupported() && tapDriver != tunnelingDriver) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Uninstall old TAP driver as Wintun is used instead");
        removeOldDriver(tool, "uninstall", L"uninstall old tap", tapDriver);
    }

    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Uninstall callout driver");
    removeOldDriver(tool, "calloutuninstall", L"calloutuninstall",
                    OVVpnCustomization::getWfpCalloutDriverName());

    ExecuteApplication::killProcessesByName(product::kClientExecutable, product::kClientQuitTimeoutMs,
                                            run.previousFolder.c_str());
    ExecuteApplication::killProcessesByName(product::kTunnelExecutable, product::kTunnelQuitTimeoutMs,
                                            run.previousFolder.c_str());
    run.registry.deleteValue(product::kProductKey, L"UiStartedOnceAfterInstallation");
    run.registry.deleteValue(product::kProductKey, L"OEMInstallationDetected");
}
