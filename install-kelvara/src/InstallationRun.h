// The values one run of the installation sequence lives on. MainLogic::execute owns the object, so
// all of it is released on every way out of the run, an escaping exception included. Members go in
// reverse order: the shell object (and its COM) first, then the services, the process user last.
#pragma once

#include <install-common/ShortcutCreator.h>
#include <install-common/UpdatedService.h>
#include <ov/ModulePaths.h>
#include <ov/ProcessUser.h>
#include <ov/Win32Registry.h>

#include <memory>
#include <string>
#include <vector>

struct InstallationRun {
    explicit InstallationRun(bool silentRun) : silent(silentRun), moduleFolder(ov::getExecutableFolder()) {}

    bool silent;
    const std::wstring moduleFolder; // this version's folder: the running executable's
    std::unique_ptr<ov::ProcessUser> processUser;
    std::wstring applicationName;
    std::wstring installationRoot;
    std::wstring appModelId;
    // In order of registration: started last to first, stopped first to last.
    std::vector<std::unique_ptr<ov::ul::UpdatedService>> services;
    ov::Win32Registry registry{HKEY_LOCAL_MACHINE};
    // Created by the old shortcut removal; holds COM initialised for the rest of the run.
    std::unique_ptr<ShortcutCreator> shell;
    std::wstring previousFolder;       // AppPath before this run, up to a NUL; empty on a first installation
    bool previousFolderUsable = false; // a plain local folder: its tool may run and it may be removed
    bool upgrade = false;
    bool driverReboot = false;
};
