// An upgrade under way records the folder it leaves (UpgradeFromPath in the product key) from just
// before AppPath names this version's folder until the folder it leaves is removed. A run cut short
// in between would otherwise leave that folder behind for good: the next run finds its own folder in
// AppPath and finishes the upgrade from the recorded one.
#pragma once

#include "InstallationRun.h"

// For a run that finds its own folder in AppPath: a recorded folder that can be an earlier version
// of ours (directly under the installation root, not this version's folder nor one holding it, with
// its driver tool) becomes the earlier folder. Any other record is logged as ignored and deleted.
void resumeInterruptedUpgrade(InstallationRun& run);

// Whether the finishing removes the earlier folder: an upgrade from a usable folder that is not
// this version's folder and does not hold it.
bool earlierFolderIsRemoved(const InstallationRun& run);

// Before AppPath changes: records the earlier folder when the finishing is to remove it.
void recordUpgradeUnderWay(InstallationRun& run);

// After the earlier folder's removal: the record goes.
void forgetUpgradeUnderWay(InstallationRun& run);
