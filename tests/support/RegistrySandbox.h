// A private, empty registry in place of a root key of the test process, so registry tests
// neither see nor change the lab's real keys, and never each other's.
#pragma once

#include <ov/Win32.h>

#include <string>
#include <vector>

namespace ovtest {

// Redirects a predefined root key (HKEY_LOCAL_MACHINE unless told otherwise) of this process
// into a fresh key below HKEY_CURRENT_USER\Software\OvTestSandbox. The redirection is undone and
// the key deleted with everything below it when the object goes. Only one sandbox per root key
// may exist at a time. The helpers work on the sandbox key directly, not through the redirection,
// so they check what really landed there; their paths are relative to the sandbox key.
class RegistrySandbox {
public:
    explicit RegistrySandbox(HKEY redirected = HKEY_LOCAL_MACHINE);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Whether the redirection is in place; a test cannot trust anything else without it.
    bool ok() const { return redirected_; }
    // The sandbox key, open with full access.
    HKEY key() const { return key_; }
    // Its path below HKEY_CURRENT_USER.
    const std::wstring& path() const { return path_; }

    // Creates the key with every missing level.
    bool createKey(const std::wstring& key) const;
    bool keyExists(const std::wstring& key) const;
    // Stores exactly the given bytes with the given type, creating the key if needed.
    bool setValue(const std::wstring& key, const std::wstring& name, DWORD type,
                  const std::vector<BYTE>& data) const;
    // Stores the text with its terminating NUL (REG_SZ, REG_EXPAND_SZ).
    bool setString(const std::wstring& key, const std::wstring& name, const std::wstring& text,
                   DWORD type = REG_SZ) const;
    // Type and bytes of a value as stored; false when it cannot be read.
    bool getValue(const std::wstring& key, const std::wstring& name, DWORD& type,
                  std::vector<BYTE>& data) const;
    bool valueExists(const std::wstring& key, const std::wstring& name) const;
    // Lets everyone have only `allowed` on the key (WRITE_DAC is added so the sandbox can undo it
    // before deleting). Keys restricted this way are opened up again by the destructor.
    bool restrictKey(const std::wstring& key, REGSAM allowed);

private:
    HKEY redirectedRoot_;
    HKEY key_ = nullptr;
    std::wstring path_;
    bool redirected_ = false;
    std::vector<std::wstring> restricted_;
};

// The bytes of a UTF-16 text, without a terminating NUL.
std::vector<BYTE> utf16Bytes(const std::wstring& text);

} // namespace ovtest
