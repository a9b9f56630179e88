#include "RegistrySandbox.h"

#include <ov/Handle.h>
#include <ov/Win32Registry.h>

namespace ovtest {

namespace {
const wchar_t kSandboxes[] = L"Software\\OvTestSandbox";
}

RegistrySandbox::RegistrySandbox()
    : path_(std::wstring(kSandboxes) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64())) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr) == ERROR_SUCCESS) {
        redirected_ = RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_) == ERROR_SUCCESS;
    }
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kSandboxes); // only when no other sandbox is left
}

bool RegistrySandbox::createKey(const std::wstring& key) const {
    ov::ScopedRegKey handle;
    return RegCreateKeyExW(key_, key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, handle.put(), nullptr) ==
           ERROR_SUCCESS;
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
