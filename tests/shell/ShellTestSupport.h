// Helpers of the shell tests: the test log, registry values put back afterwards, the common
// shell folders and shortcut files read back through the shell.
#pragma once

#include "TestLog.h"

#include <ov/Win32.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shelltest {

// Records written by the test process to its log after construction, each as the text after the
// time stamp and ids: the level label, then "function: message" (e.g. " I: Class::f: text").
class LogCapture {
public:
    LogCapture();
    std::vector<std::string> records() const;
    // Records that contain the text.
    std::vector<std::string> matching(const std::string& text) const;
    bool contains(const std::string& text) const { return !matching(text).empty(); }

private:
    ovtest::TestLog& log_;
    std::uint64_t mark_;
};

// One value of an HKEY_LOCAL_MACHINE key in the process's default view, put back as it was (or
// deleted) when the object goes; keys of its path that did not exist are removed when empty.
class RegistryValueRestorer {
public:
    RegistryValueRestorer(std::wstring key, std::wstring valueName);
    ~RegistryValueRestorer();
    RegistryValueRestorer(const RegistryValueRestorer&) = delete;
    RegistryValueRestorer& operator=(const RegistryValueRestorer&) = delete;

private:
    std::wstring key_;
    std::wstring valueName_;
    std::optional<std::vector<BYTE>> data_;
    DWORD type_ = REG_NONE;
    std::vector<std::wstring> missingKeys_; // innermost first
};

// Plain registry access for setting up and checking (HKEY_LOCAL_MACHINE, default view).
bool setString(const std::wstring& key, const std::wstring& valueName, const std::wstring& value);
bool deleteValue(const std::wstring& key, const std::wstring& valueName);

// The all-users desktop and start-menu Programs folders as the shell reports them.
std::wstring commonDesktop();
std::wstring commonPrograms();

bool exists(const std::wstring& path);
bool createFolder(const std::wstring& path);
bool touchFile(const std::wstring& path);
// Deletes the files, then removes the folders (listed innermost first) where empty.
void removeAll(const std::vector<std::wstring>& files, const std::vector<std::wstring>& folders);

struct LoadedShortcut {
    std::wstring target;
    std::wstring workingDirectory;
    std::wstring iconPath;
    int iconIndex = -1;
    std::wstring arguments;
};

// The shortcut file loaded through IShellLinkW; nullopt when it cannot be loaded.
std::optional<LoadedShortcut> loadShortcut(const std::wstring& path);

} // namespace shelltest
