#include "RegistrySandbox.h"

namespace ovtest {

namespace {

const wchar_t sandboxParent[] = L"Software\\OvTestSandbox";

// A DACL letting everyone have `allowed` on the key; a key's owner is not exempt.
bool setEveryoneAccess(HKEY root, const std::wstring& key, REGSAM allowed) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &handle) != ERROR_SUCCESS) {
        return false;
    }
    BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof(everyone);
    BYTE aclBuffer[256] = {};
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    SECURITY_DESCRIPTOR descriptor = {};
    const bool ok = CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize) &&
                    InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION) &&
                    AddAccessAllowedAce(acl, ACL_REVISION, allowed, everyone) &&
                    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
                    RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

} // namespace

RegistrySandbox::RegistrySandbox(HKEY redirected) : redirectedRoot_(redirected) {
    static unsigned counter = 0;
    path_ = std::wstring(sandboxParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    redirected_ = RegOverridePredefKey(redirectedRoot_, key_) == ERROR_SUCCESS;
}

RegistrySandbox::~RegistrySandbox() {
    if (redirected_) {
        RegOverridePredefKey(redirectedRoot_, nullptr);
    }
    if (key_ == nullptr) {
        return;
    }
    for (const auto& key : restricted_) {
        setEveryoneAccess(key_, key, KEY_ALL_ACCESS);
    }
    RegCloseKey(key_);
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, sandboxParent, 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
        RegDeleteTreeW(parent, path_.substr(path_.rfind(L'\\') + 1).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, sandboxParent); // only when no other sandbox is left
        RegCloseKey(parent);
    }
}

bool RegistrySandbox::createKey(const std::wstring& key) const {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(key_, key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

bool RegistrySandbox::keyExists(const std::wstring& key) const {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(key_, key.c_str(), 0, READ_CONTROL, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
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

bool RegistrySandbox::setString(const std::wstring& key, const std::wstring& name, const std::wstring& text,
                                DWORD type) const {
    std::vector<BYTE> data = utf16Bytes(text);
    data.push_back(0);
    data.push_back(0);
    return setValue(key, name, type, data);
}

bool RegistrySandbox::getValue(const std::wstring& key, const std::wstring& name, DWORD& type,
                               std::vector<BYTE>& data) const {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(key_, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    LONG error = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
    if (error == ERROR_SUCCESS) {
        data.assign(size, 0);
        error = RegQueryValueExW(handle, name.c_str(), nullptr, &type, data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(handle);
    return error == ERROR_SUCCESS;
}

bool RegistrySandbox::valueExists(const std::wstring& key, const std::wstring& name) const {
    DWORD type = 0;
    std::vector<BYTE> data;
    return getValue(key, name, type, data);
}

bool RegistrySandbox::restrictKey(const std::wstring& key, REGSAM allowed) {
    if (!setEveryoneAccess(key_, key, allowed | WRITE_DAC)) {
        return false;
    }
    restricted_.push_back(key);
    return true;
}

std::vector<BYTE> utf16Bytes(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

} // namespace ovtest
