#include "MainLogic.h"

#include "Environment.h"
#include "InstallationSteps.h"

#include <install-common/Customization.h>

int MainLogic::execute(bool silent) {
    InstallationRun run(silent);

    // Nothing may be read or changed for a caller without administrator rights.
    run.processUser = ov::ProcessUser::create();
    if (!run.processUser->isAdmin()) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Not enough rights.");
        return NotEnoughRights;
    }

    run.applicationName = GetFileNameVariable(L"kelvara_app_name", L"Kelvara");
    run.installationRoot = GetEnvVariable(L"UL_ROOT_DIR", L"C:\\Program Files (x86)\\Orvanta\\Kelvara");
    run.appModelId = GetEnvVariable(L"kelvara_app_model_id", L"Orvanta.Kelvara");
    OV_KMF_LOG(OvKmfLogging::Info, L"Installation root directory: \"%s\"", run.installationRoot.c_str());
    OV_KMF_LOG(OvKmfLogging::Info, L"Application name: \"%s\"", run.applicationName.c_str());
    OV_KMF_LOG(OvKmfLogging::Info, L"App model id: \"%s\"", run.appModelId.c_str());
    if (silent) {
        OV_KMF_LOG(OvKmfLogging::Info, L"Doing silent installation!");
    }

    // A table installed by an earlier run in this process is trusted as it is.
    if (installedCustomizationSettings() == nullptr) {
        installCustomizationSettings(loadCustomizationSettings());
        const CustomizationSettings* settings = installedCustomizationSettings();
        if (settings == nullptr || settings->empty()) {
            OV_KMF_LOG(OvKmfLogging::Fatal, L"Failed to initialize config");
            return NoCustomization;
        }
    }

    registerProductService(run);
    detectUpgrade(run);
    removeOldComponents(run);
    removeOldShortcuts(run);
    writeProductValues(run);
    installDrivers(run);
    writeShellEntries(run);
    finishInstallation(run);
    return endInstallation(run);
}
