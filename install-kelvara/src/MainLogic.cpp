#include "MainLogic.h"

#include "InstallationSteps.h"

int MainLogic::execute(bool silent) {
    InstallationRun run(silent);
    const int checked = checkStart(run);
    if (checked != Done) {
        return checked;
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
