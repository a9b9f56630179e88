// Sequence step: the services started again, the earlier version's folder removed, and no
// restart-time file operation left that would touch this version's folder.
#include "InstallationSteps.h"
#include "InterruptedUpgrade.h"
#include "PendingFileRenames.h"

#include <ov/DirectoryTree.h>
#include <ov/SamePath.h>

void finishInstallation(InstallationRun& run) {
    for (auto service = run.services.rbegin(); service != run.services.rend(); ++service) {
        (*service)->start();
    }
    if (run.upgrade) {
        bool removed = false;
        if (earlierFolderIsRemoved(run)) {
            removed = ov::removeDirectoryTree(run.previousFolder, true);
        } else if (run.previousFolderUsable) {
            // The same version run again (after an interrupted run, say) finds its own folder, or one
            // holding it, as the earlier one: removing it would remove this installation.
            OV_SEQUENCE_LOG(OvKmfLogging::Info,
                            ov::isSameFolder(run.previousFolder, run.moduleFolder)
                                ? L"Old data kept: %s is the folder of this installation"
                                : L"Old data kept: %s holds the folder of this installation",
                            run.previousFolder.c_str());
        }
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Old data removed: %d", removed ? 1 : 0);
        forgetUpgradeUnderWay(run);
    }
    removePendingFileOperationsInFolder(run.moduleFolder + L"\\");
}
