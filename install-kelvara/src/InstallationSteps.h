// The start checks and the steps of the installation sequence, in the order MainLogic::execute runs
// them. They are parts of that one sequence, so their records carry its name.
#pragma once

#include "EarlierFolder.h"
#include "InstallationRun.h"

#include <logging/Log.h>

#define OV_SEQUENCE_LOG(level, ...) OV_KMF_LOG_AS((level), "MainLogic::execute", __VA_ARGS__)

// Administrator rights (else NotEnoughRights: nothing read or changed), the run's environment
// values, the customization settings (else NoCustomization); MainLogic::Done when the steps may run.
int checkStart(InstallationRun& run);

// Registers the product service (or re-points it at this version), lets the service manager
// restart it after a crash and stops it. Throws when the service cannot be registered.
void registerProductService(InstallationRun& run);
// Stops every service of the run, first to last; a failed stop marks a reboot as required.
void stopServices(InstallationRun& run);

// Reads the earlier version's folder from the product key: an upgrade when there is one. A folder
// that is not a plain local one is logged and not used: its tool does not run, it is not removed.
void detectUpgrade(InstallationRun& run);
// Whether a folder named by the registry may stand for an earlier version, as it is on disk.
FolderUse earlierFolderUse(const std::wstring& folder);
// On an upgrade: removes the earlier drivers with the earlier driver tool, stops the earlier
// client and tunnel processes and resets two values the earlier client left.
void removeOldComponents(InstallationRun& run);

// Creates the run's shell object and removes the shortcuts named after the earlier product name.
void removeOldShortcuts(InstallationRun& run);

// The service's display name and description, the product key, the old autostart value and the
// default log size limit.
void writeProductValues(InstallationRun& run);

// Installs the tunneling driver with this version's driver tool; records whether it needs a reboot.
void installDrivers(InstallationRun& run);

// The Add/Remove Programs entry and the shortcuts of this version.
void writeShellEntries(InstallationRun& run);

// Starts the services, removes the earlier version's folder and drops restart-time file operations
// on this version's folder.
void finishInstallation(InstallationRun& run);

// Logs the last line and returns 0, or 100 when a reboot is needed (stopping the product first
// unless the run is silent).
int endInstallation(InstallationRun& run);
