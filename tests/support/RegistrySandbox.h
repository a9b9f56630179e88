// A private, empty registry in place of HKEY_LOCAL_MACHINE for this test process, so that unit
// tests neither see nor change the lab's keys. The redirection is undone and the sandbox deleted
// when the object goes. The helpers work on the sandbox key itself (paths relative to it), so they
// see what really landed there.
#pragma once

#include <ov/Win32.h>

#include <string>
#include <vector>

namespace ovtest {

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Whether the redirection is in place; a test can trust nothing else without it.
    bool ok() const { return redirected_; }
    bool createKey(const std::wstring& key) const;
    // Stores exactly these bytes with this type, creating the key if needed.
    bool setValue(const std::wstring& key, const std::wstring& name, DWORD type,
                  const std::vector<BYTE>& data) const;
    // Stores the text with its terminating NUL as REG_SZ.
    bool setString(const std::wstring& key, const std::wstring& name, const std::wstring& text) const;
    // Type and bytes of a value as stored; false when it cannot be read.
    bool getValue(const std::wstring& key, const std::wstring& name, DWORD& type,
                  std::vector<BYTE>& data) const;

private:
    HKEY key_ = nullptr;
    std::wstring path_; // below HKEY_CURRENT_USER
    bool redirected_ = false;
};

// The bytes of a UTF-16 text, without a terminating NUL.
std::vector<BYTE> utf16Bytes(const std::wstring& text);

} // namespace ovtest
