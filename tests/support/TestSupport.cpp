#include "TestSupport.h"

#include <ov/DirectoryTree.h>
#include <ov/Win32Registry.h>

#include <fstream>

namespace ovtest {

namespace {
const wchar_t kSandboxes[] = L"Software\\OvTestSandbox";
}

TempDir::TempDir(const std::wstring& hint) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = temp + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
    ov::removeDirectoryTree(path_, false);
}

std::vector<std::string> readLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::ifstream file(path.c_str(), std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    }
    return lines;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

RegistrySandbox::RegistrySandbox()
    : path_(std::wstring(kSandboxes) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64())) {
    redirected_ = RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr) == ERROR_SUCCESS &&
                  RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_) == ERROR_SUCCESS;
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kSandboxes); // only when no other sandbox is left
}

bool RegistrySandbox::setValue(const std::wstring& key, const std::wstring& name, DWORD type,
                               const std::vector<BYTE>& data) const {
    // The system counts one more character for a string whose last character is followed by a
    // NUL in memory, taking it for a forgotten terminator. A non-NUL guard keeps the size exact.
    std::vector<BYTE> guarded = data;
    guarded.insert(guarded.end(), {0xFF, 0xFF});
    return RegSetKeyValueW(key_, key.c_str(), name.c_str(), type, guarded.data(),
                           static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegistrySandbox::setString(const std::wstring& key, const std::wstring& name,
                                const std::wstring& text) const {
    return setValue(key, name, REG_SZ, utf16Bytes(text + L'\0'));
}

bool RegistrySandbox::getValue(const std::wstring& key, const std::wstring& name, DWORD& type,
                               std::vector<BYTE>& data) const {
    return ov::Win32Registry(HKEY_CURRENT_USER).readValue(path_ + L"\\" + key, name, data, type);
}

std::vector<BYTE> utf16Bytes(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

} // namespace ovtest
