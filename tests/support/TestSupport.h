// What the unit tests share: temporary folders, files, and a registry sandbox.
#pragma once

#include <ov/Win32.h>

#include <string>
#include <vector>

namespace ovtest {

// A fresh folder under %TEMP%, removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::wstring& hint);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// The lines of a file (CR LF ends removed); none when it is missing.
std::vector<std::string> readLines(const std::wstring& path);
bool fileExists(const std::wstring& path);

// A private, empty registry in place of HKEY_LOCAL_MACHINE for this test process, so that unit
// tests neither see nor change the lab's keys; undone, and deleted, when the object goes. The
// helpers work on the sandbox key itself (paths relative to it), so they see what really landed.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Whether the redirection is in place; a test can trust nothing else without it.
    bool ok() const { return redirected_; }
    // Stores exactly these bytes with this type (REG_SZ: the text with its NUL), creating the key.
    bool setValue(const std::wstring& key, const std::wstring& name, DWORD type,
                  const std::vector<BYTE>& data) const;
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
