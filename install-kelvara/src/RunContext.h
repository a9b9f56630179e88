// The run as the outer installer framework describes it through the environment.
#pragma once

#include <string>

// The installation action's module id: base of its log name and its key below the product's modules.
const wchar_t kModuleId[] = L"kelvara-win32";

struct RunContext {
    std::wstring registryRoot; // ul_reg_root without its hive name
    std::wstring module;       // ul_module
    std::wstring title;        // ul_title, or "module version"
    std::wstring version;      // ul_version
    bool silent = false;       // ul_silent_installation is exactly "yes"
};

// The text after the first backslash of ul_reg_root; empty when there is no backslash.
std::wstring normaliseRegistryRoot(const std::wstring& value);

// True only for the exact, case-sensitive text "yes".
bool isSilentInstallation(const std::wstring& value);

// The title when ul_title is empty: module, one blank, version.
std::wstring defaultTitle(const std::wstring& module, const std::wstring& version);
