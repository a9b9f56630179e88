// Sequence step: the run's shell object, and the removal of the shortcuts named after the earlier
// product name (read before this run writes the new one).
#include "InstallationSteps.h"

void removeOldShortcuts(InstallationRun& run) {
    run.shell = std::make_unique<ShortcutCreator>();
    run.shell->RemoveOldShortcuts();
}
