// Sequence step: the services started again, the earlier version's folder removed, and no
// restart-time file operation left that would touch this version's folder.
#include "InstallationSteps.h"
#include "PendingFileRenames.h"
#include "ProductLayout.h"

#include <ov/DirectoryTree.h>
#include <ov/ModulePaths.h>
#include <ov/SamePath.h>

void finishInstallation(InstallationRun& run) {
    for (auto service = run.services.rbegin(); service != run.services.rend(); ++service) {
        (*service)->start();
    }
    const std::wstring moduleFolder = ov::getExecutableFolder();
    if (run.upgrade) {
        // The same version run again (after an interrupted run, say) finds its own folder as the
        // earlier one: removing it would remove this installation.
        if (ov::isSamePath(run.previousFolder, moduleFolder)) {
            OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Old data kept: %s is the folder of this installation",
                            run.previousFolder.c_str());
        } else {
            const bool removed = ov::removeDirectoryTree(run.previousFolder, true);
            OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Old data removed: %d", removed ? 1 : 0);
            run.registry.deleteValue(product::kProductKey, product::kUpgradeFromValue);
        }
    }
    removePendingFileOperationsInFolder(moduleFolder + L"\\");
}
