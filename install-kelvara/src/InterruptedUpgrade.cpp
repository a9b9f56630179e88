#include "InterruptedUpgrade.h"

#include "DriverTool.h"
#include "EarlierFolder.h"
#include "InstallationSteps.h"
#include "ProductLayout.h"

#include <ov/PathRules.h>
#include <ov/SamePath.h>

namespace {

// Why the recorded folder cannot be the earlier version an upgrade was leaving; null when it can.
// The value is anyone's to write who can write the product key, and the folder it names has its
// tool run and is deleted.
const wchar_t* whyNotResumable(const InstallationRun& run, const std::wstring& folder) {
    const FolderUse use = earlierFolderUse(folder);
    if (use != FolderUse::Usable) {
        return folderUseReason(use);
    }
    std::wstring parent;
    std::wstring name;
    if (!ov::splitPath(folder, parent, name) || !ov::isSameFolder(parent, run.installationRoot)) {
        return L"is not directly under the installation root";
    }
    if (ov::folderContains(folder, run.moduleFolder)) {
        return L"is the folder of this installation or holds it";
    }
    const DWORD tool = GetFileAttributesW(DriverTool(folder).path().c_str());
    if (tool == INVALID_FILE_ATTRIBUTES || (tool & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return L"holds no driver tool";
    }
    return nullptr;
}

} // namespace

void resumeInterruptedUpgrade(InstallationRun& run) {
    std::wstring recorded;
    if (!run.registry.readString(product::kProductKey, product::kUpgradeFromValue, recorded) ||
        recorded.empty()) {
        return;
    }
    const std::wstring folder = textBeforeNul(recorded);
    if (const wchar_t* reason = whyNotResumable(run, folder)) {
        OV_SEQUENCE_LOG(OvKmfLogging::Warning, L"UpgradeFromPath ignored and deleted: %s %s",
                        recorded.c_str(), reason);
        forgetUpgradeUnderWay(run);
        return;
    }
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Resuming the interrupted upgrade from %s", folder.c_str());
    run.previousFolder = folder;
}

bool earlierFolderIsRemoved(const InstallationRun& run) {
    return run.upgrade && run.previousFolderUsable &&
           !ov::folderContains(run.previousFolder, run.moduleFolder);
}

void recordUpgradeUnderWay(InstallationRun& run) {
    if (earlierFolderIsRemoved(run)) {
        run.registry.writeString(product::kProductKey, product::kUpgradeFromValue, run.previousFolder);
    }
}

void forgetUpgradeUnderWay(InstallationRun& run) {
    run.registry.deleteValue(product::kProductKey, product::kUpgradeFromValue);
}
