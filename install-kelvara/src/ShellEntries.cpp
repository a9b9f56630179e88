// Sequence step: the Add/Remove Programs entry and the shortcuts of this version.
#include "InstallationSteps.h"
#include "ProductLayout.h"

#include <install-common/UninstallationEntries.h>
#include <ov/PathRules.h>

void writeShellEntries(InstallationRun& run) {
    const std::wstring& folder = run.moduleFolder;
    UninstallationEntries::Install(run.applicationName,
                                   ov::joinPath(folder, product::kUninstallerExecutable));
    // A shell object of its own, beside the run's one, for just this update.
    ShortcutCreator shortcuts;
    shortcuts.UpdateShortcuts(run.applicationName, run.appModelId,
                              ov::joinPath(folder, product::kClientExecutable),
                              ov::joinPath(folder, product::kSupportToolExecutable));
}
