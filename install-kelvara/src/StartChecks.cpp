// Sequence step: the start checks, before anything is changed on the machine.
#include "Environment.h"
#include "InstallationSteps.h"
#include "MainLogic.h"

#include <install-common/Customization.h>

int checkStart(InstallationRun& run) {
    // Nothing may be read or changed for a caller without administrator rights.
    run.processUser = ov::ProcessUser::create();
    if (!run.processUser->isAdmin()) {
        OV_SEQUENCE_LOG(OvKmfLogging::Error, L"Not enough rights.");
        return MainLogic::NotEnoughRights;
    }

    run.applicationName = GetEnvVariable(L"kelvara_app_name", L"Kelvara");
    run.installationRoot = GetEnvVariable(L"UL_ROOT_DIR", L"C:\\Program Files (x86)\\Orvanta\\Kelvara");
    run.appModelId = GetEnvVariable(L"kelvara_app_model_id", L"Orvanta.Kelvara");
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Installation root directory: \"%s\"", run.installationRoot.c_str());
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Application name: \"%s\"", run.applicationName.c_str());
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"App model id: \"%s\"", run.appModelId.c_str());
    if (run.silent) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Doing silent installation!");
    }

    // A table installed by an earlier run in this process is trusted as it is.
    if (installedCustomizationSettings() == nullptr) {
        installCustomizationSettings(loadCustomizationSettings());
        const CustomizationSettings* settings = installedCustomizationSettings();
        if (settings == nullptr || settings->empty()) {
            OV_SEQUENCE_LOG(OvKmfLogging::Fatal, L"Failed to initialize config");
            return MainLogic::NoCustomization;
        }
    }
    return MainLogic::Done;
}
