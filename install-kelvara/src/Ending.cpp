// Sequence step: the result of the run, and the product stopped for a reboot the user was not
// told about by the framework.
#include "InstallationSteps.h"
#include "MainLogic.h"
#include "ProductLayout.h"

#include <install-common/ExecuteApplication.h>

int endInstallation(InstallationRun& run) {
    bool reboot = run.driverReboot;
    for (const auto& service : run.services) {
        reboot = reboot || service->rebootRequired();
    }
    if (!reboot) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"DONE.");
        return MainLogic::Done;
    }
    if (run.silent) {
        // The client's user interface tells the user.
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"DONE. Reboot requested. Handle notification at UI side");
        return MainLogic::DoneRebootRequired;
    }
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"DONE. Reboot requested. Stop product");
    stopServices(run);
    ExecuteApplication::killProcessesByName(product::kClientExecutable, product::kClientQuitTimeoutMs,
                                            run.installationRoot.c_str());
    return MainLogic::DoneRebootRequired;
}
