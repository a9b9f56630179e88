// The one way the installer reads and writes the registry: every operation opens its key for
// just the access it needs, makes one registry call and closes the key again.
#pragma once

#include <ov/Win32.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ov {

// Outcome of a registry operation. Callers see these codes, never the system's error code.
enum class RegistryStatus : std::uint32_t {
    Ok = 0,
    NotFound = 1,        // ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND
    WrongType = 2,       // the value exists with a type the operation does not accept
    Failed = 3,          // any other system error
    AccessDenied = 5,    // ERROR_ACCESS_DENIED
    InvalidArgument = 6, // ERROR_INVALID_PARAMETER, or an argument refused before any system call
};

// The status a system error code stands for.
RegistryStatus registryStatusFromError(LONG error);

// Registry access below one root key, in one registry view. Every operation records its
// outcome (see lastStatus) and also writes it to `status` when that is not null; none throws
// for a registry failure. Narrow names and values are UTF-8 and behave as the wide forms.
class Win32Registry {
public:
    // viewFlags (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY) is or-ed into every access mask.
    explicit Win32Registry(HKEY root, REGSAM viewFlags = 0);
    virtual ~Win32Registry();
    Win32Registry(const Win32Registry&) = default;
    Win32Registry& operator=(const Win32Registry&) = default;

    // Type of the value; 0 (REG_NONE) when it is absent or cannot be read.
    virtual DWORD valueType(const std::string& key, const std::string& valueName,
                            RegistryStatus* status = nullptr);
    virtual DWORD valueType(const std::wstring& key, const std::wstring& valueName,
                            RegistryStatus* status = nullptr);

    // Reads a REG_SZ or REG_EXPAND_SZ value, unexpanded and without its terminating NUL.
    // The output is emptied on failure (WrongType for another type).
    virtual bool readString(const std::string& key, const std::string& valueName, std::string& value,
                            RegistryStatus* status = nullptr);
    virtual bool readString(const std::wstring& key, const std::wstring& valueName, std::string& value,
                            RegistryStatus* status = nullptr);
    virtual bool readString(const std::string& key, const std::string& valueName, std::wstring& value,
                            RegistryStatus* status = nullptr);
    virtual bool readString(const std::wstring& key, const std::wstring& valueName, std::wstring& value,
                            RegistryStatus* status = nullptr);

    // Writes a REG_SZ value with its terminating NUL into an existing key.
    virtual bool writeString(const std::string& key, const std::string& valueName, const std::string& value,
                             RegistryStatus* status = nullptr);
    virtual bool writeString(const std::wstring& key, const std::wstring& valueName, const std::string& value,
                             RegistryStatus* status = nullptr);
    virtual bool writeString(const std::string& key, const std::string& valueName, const std::wstring& value,
                             RegistryStatus* status = nullptr);
    virtual bool writeString(const std::wstring& key, const std::wstring& valueName,
                             const std::wstring& value, RegistryStatus* status = nullptr);

    // Reads a REG_DWORD (or REG_NONE) value; WrongType for any other type.
    virtual bool readDword(const std::string& key, const std::string& valueName, DWORD& value,
                           RegistryStatus* status = nullptr);
    virtual bool readDword(const std::wstring& key, const std::wstring& valueName, DWORD& value,
                           RegistryStatus* status = nullptr);

    // Writes a REG_DWORD value into an existing key.
    virtual bool writeDword(const std::string& key, const std::string& valueName, DWORD value,
                            RegistryStatus* status = nullptr);
    virtual bool writeDword(const std::wstring& key, const std::wstring& valueName, DWORD value,
                            RegistryStatus* status = nullptr);

    // Reads a REG_QWORD (or REG_NONE) value; WrongType for any other type.
    virtual bool readQword(const std::string& key, const std::string& valueName, std::uint64_t& value,
                           RegistryStatus* status = nullptr);
    virtual bool readQword(const std::wstring& key, const std::wstring& valueName, std::uint64_t& value,
                           RegistryStatus* status = nullptr);

    // Writes a REG_QWORD value into an existing key.
    virtual bool writeQword(const std::string& key, const std::string& valueName, std::uint64_t value,
                            RegistryStatus* status = nullptr);
    virtual bool writeQword(const std::wstring& key, const std::wstring& valueName, std::uint64_t value,
                            RegistryStatus* status = nullptr);

    // Reads a REG_MULTI_SZ value into its items (up to the first empty one). The output is
    // replaced on success, but left as it is for an empty value and on failure.
    virtual bool readMultiString(const std::string& key, const std::string& valueName,
                                 std::vector<std::string>& values, RegistryStatus* status = nullptr);
    virtual bool readMultiString(const std::wstring& key, const std::wstring& valueName,
                                 std::vector<std::wstring>& values, RegistryStatus* status = nullptr);

    // Writes a REG_MULTI_SZ value. A list holding an empty item writes nothing: InvalidArgument.
    virtual bool writeMultiString(const std::string& key, const std::string& valueName,
                                  const std::vector<std::string>& values, RegistryStatus* status = nullptr);
    virtual bool writeMultiString(const std::wstring& key, const std::wstring& valueName,
                                  const std::vector<std::wstring>& values, RegistryStatus* status = nullptr);

    // Reads a REG_BINARY value (WrongType for any other type); the output is untouched on failure.
    virtual bool readBinary(const std::string& key, const std::string& valueName, std::vector<BYTE>& data,
                            RegistryStatus* status = nullptr);
    virtual bool readBinary(const std::wstring& key, const std::wstring& valueName, std::vector<BYTE>& data,
                            RegistryStatus* status = nullptr);

    // Writes a REG_BINARY value (possibly empty) into an existing key.
    virtual bool writeBinary(const std::string& key, const std::string& valueName,
                             const std::vector<BYTE>& data, RegistryStatus* status = nullptr);
    virtual bool writeBinary(const std::wstring& key, const std::wstring& valueName,
                             const std::vector<BYTE>& data, RegistryStatus* status = nullptr);

    // Deletes a value; NotFound when it is absent.
    virtual bool deleteValue(const std::string& key, const std::string& valueName,
                             RegistryStatus* status = nullptr);
    virtual bool deleteValue(const std::wstring& key, const std::wstring& valueName,
                             RegistryStatus* status = nullptr);

    // Whether the key exists and may be opened at all (READ_CONTROL).
    virtual bool keyExists(const std::string& key, RegistryStatus* status = nullptr);
    virtual bool keyExists(const std::wstring& key, RegistryStatus* status = nullptr);
    virtual bool keyExists(const std::string& parent, const std::string& name,
                           RegistryStatus* status = nullptr);
    virtual bool keyExists(const std::wstring& parent, const std::wstring& name,
                           RegistryStatus* status = nullptr);

    // Creates parent\name (the parent must exist); an existing key counts as success.
    // `options` are RegCreateKeyExW's, such as REG_OPTION_VOLATILE. An empty name: InvalidArgument.
    virtual bool createKey(const std::string& parent, const std::string& name,
                           RegistryStatus* status = nullptr);
    virtual bool createKey(const std::wstring& parent, const std::wstring& name,
                           RegistryStatus* status = nullptr);
    virtual bool createKey(const std::string& parent, const std::string& name, DWORD options,
                           RegistryStatus* status = nullptr);
    virtual bool createKey(const std::wstring& parent, const std::wstring& name, DWORD options,
                           RegistryStatus* status = nullptr);

    // Deletes parent\name, which must have no sub-keys. The one-argument forms split a full
    // path at its last backslash (InvalidArgument when it has none).
    virtual bool deleteKey(const std::string& parent, const std::string& name,
                           RegistryStatus* status = nullptr);
    virtual bool deleteKey(const std::wstring& parent, const std::wstring& name,
                           RegistryStatus* status = nullptr);
    virtual bool deleteKey(const std::string& path, RegistryStatus* status = nullptr);
    virtual bool deleteKey(const std::wstring& path, RegistryStatus* status = nullptr);

    // Creates every missing key of a path from the top down; the first component must exist.
    // A path ending in a backslash fails with InvalidArgument after creating the rest.
    virtual bool createKeyPath(const std::string& path, RegistryStatus* status = nullptr);
    virtual bool createKeyPath(const std::wstring& path, RegistryStatus* status = nullptr);

    // Deletes parent\name with all its sub-keys and values.
    virtual bool deleteTree(const std::string& parent, const std::string& name,
                            RegistryStatus* status = nullptr);
    virtual bool deleteTree(const std::wstring& parent, const std::wstring& name,
                            RegistryStatus* status = nullptr);

    // Names of the key's sub-keys, and their count; an empty list and 0 on failure.
    virtual std::size_t enumerateSubKeys(const std::string& key, std::vector<std::string>& names,
                                         RegistryStatus* status = nullptr);
    virtual std::size_t enumerateSubKeys(const std::wstring& key, std::vector<std::wstring>& names,
                                         RegistryStatus* status = nullptr);

    // Names of the key's values, and their count; an empty list and 0 on failure.
    virtual std::size_t enumerateValues(const std::string& key, std::vector<std::string>& names,
                                        RegistryStatus* status = nullptr);
    virtual std::size_t enumerateValues(const std::wstring& key, std::vector<std::wstring>& names,
                                        RegistryStatus* status = nullptr);

    virtual void setRoot(HKEY root);
    // For one operation in the 32-bit view: KEY_WOW64_32KEY before it, 0 after it.
    virtual void setViewFlags(REGSAM viewFlags);
    // Outcome of the last operation.
    virtual RegistryStatus lastStatus() const;

    // Reads a value of any type with its type; the outputs are untouched on failure.
    virtual bool readValue(const std::string& key, const std::string& valueName, std::vector<BYTE>& data,
                           DWORD& type, RegistryStatus* status = nullptr);
    virtual bool readValue(const std::wstring& key, const std::wstring& valueName, std::vector<BYTE>& data,
                           DWORD& type, RegistryStatus* status = nullptr);

private:
    LONG open(const std::wstring& key, REGSAM access, HKEY* handle) const;
    bool finish(RegistryStatus outcome, RegistryStatus* status);
    bool finishWithError(LONG error, RegistryStatus* status);
    // A REG_DWORD or REG_QWORD read into `value`; REG_NONE is accepted too, any other type is WrongType.
    bool readFixedSize(const std::wstring& key, const std::wstring& valueName, DWORD acceptedType,
                       void* value, DWORD size, RegistryStatus* status);
    bool writeValue(const std::wstring& key, const std::wstring& valueName, DWORD type, const void* data,
                    DWORD size, RegistryStatus* status);
    bool readRaw(const std::wstring& key, const std::wstring& valueName, REGSAM access, DWORD requiredType,
                 std::vector<BYTE>& data, DWORD& type, RegistryStatus* status);
    // RegEnumKeyExW or RegEnumValueW, reduced to the name they deliver.
    using EnumerateFunction = LONG (*)(HKEY handle, DWORD index, wchar_t* name, DWORD* length);
    std::size_t enumerateNames(const std::wstring& key, DWORD capacity, std::vector<std::wstring>& names,
                               RegistryStatus* status, EnumerateFunction enumerate);

    HKEY root_;
    REGSAM viewFlags_;
    RegistryStatus status_ = RegistryStatus::Ok;
};

} // namespace ov
