#include <ov/Win32Registry.h>

#include <ov/Handle.h>
#include <ov/MultiString.h>
#include <ov/Str.h>

#include <cstring>

namespace ov {

namespace {

// Access masks: each operation opens its key for no more than it needs, so a key whose
// security allows reading but not writing can still be read.
constexpr REGSAM readAccess = KEY_READ;
constexpr REGSAM binaryReadAccess = KEY_QUERY_VALUE;
constexpr REGSAM writeAccess = KEY_SET_VALUE;
constexpr REGSAM createAccess = KEY_CREATE_SUB_KEY;
constexpr REGSAM treeDeleteParentAccess = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
constexpr REGSAM existsAccess = READ_CONTROL;

// Name buffers of the registry's limits for key names (255) and value names (32767). A key name
// of exactly 255 characters leaves no room for the NUL and ends the enumeration with a failure.
constexpr DWORD subKeyNameCapacity = 255;
constexpr DWORD valueNameCapacity = 32767;

// readRaw accepts a value of any type.
constexpr DWORD anyType = 0xFFFFFFFF;

std::vector<std::wstring> toWide(const std::vector<std::string>& items) {
    std::vector<std::wstring> wide;
    wide.reserve(items.size());
    for (const auto& item : items) {
        wide.push_back(str::utf8ToWide(item));
    }
    return wide;
}

std::vector<std::string> toUtf8(const std::vector<std::wstring>& items) {
    std::vector<std::string> narrow;
    narrow.reserve(items.size());
    for (const auto& item : items) {
        narrow.push_back(str::wideToUtf8(item));
    }
    return narrow;
}

BYTE* bytesOf(std::wstring& text) {
    return reinterpret_cast<BYTE*>(&text[0]);
}

DWORD byteSize(std::size_t units) {
    return static_cast<DWORD>(units * sizeof(wchar_t));
}

} // namespace

RegistryStatus registryStatusFromError(LONG error) {
    switch (error) {
    case ERROR_SUCCESS:
        return RegistryStatus::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return RegistryStatus::NotFound;
    case ERROR_ACCESS_DENIED:
        return RegistryStatus::AccessDenied;
    case ERROR_INVALID_PARAMETER:
        return RegistryStatus::InvalidArgument;
    default:
        return RegistryStatus::Failed;
    }
}

Win32Registry::Win32Registry(HKEY root, REGSAM viewFlags) : root_(root), viewFlags_(viewFlags) {}

Win32Registry::~Win32Registry() = default;

LONG Win32Registry::open(const std::wstring& key, REGSAM access, HKEY* handle) const {
    return RegOpenKeyExW(root_, key.c_str(), 0, viewFlags_ | access, handle);
}

bool Win32Registry::finish(RegistryStatus outcome, RegistryStatus* status) {
    status_ = outcome;
    if (status != nullptr) {
        *status = outcome;
    }
    return outcome == RegistryStatus::Ok;
}

bool Win32Registry::finishWithError(LONG error, RegistryStatus* status) {
    return finish(registryStatusFromError(error), status);
}

DWORD Win32Registry::valueType(const std::string& key, const std::string& valueName, RegistryStatus* status) {
    return valueType(str::utf8ToWide(key), str::utf8ToWide(valueName), status);
}

DWORD Win32Registry::valueType(const std::wstring& key, const std::wstring& valueName,
                               RegistryStatus* status) {
    ScopedRegKey handle;
    LONG error = open(key, readAccess, handle.put());
    if (error != ERROR_SUCCESS) {
        finishWithError(error, status);
        return REG_NONE;
    }
    DWORD type = REG_NONE;
    error = RegQueryValueExW(handle.get(), valueName.c_str(), nullptr, &type, nullptr, nullptr);
    finishWithError(error, status);
    return error == ERROR_SUCCESS ? type : REG_NONE;
}

bool Win32Registry::readString(const std::string& key, const std::string& valueName, std::string& value,
                               RegistryStatus* status) {
    return readString(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::readString(const std::wstring& key, const std::wstring& valueName, std::string& value,
                               RegistryStatus* status) {
    std::wstring wide;
    const bool ok = readString(key, valueName, wide, status);
    value = str::wideToUtf8(wide);
    return ok;
}

bool Win32Registry::readString(const std::string& key, const std::string& valueName, std::wstring& value,
                               RegistryStatus* status) {
    return readString(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::readString(const std::wstring& key, const std::wstring& valueName, std::wstring& value,
                               RegistryStatus* status) {
    ScopedRegKey handle;
    LONG error = open(key, readAccess, handle.put());
    if (error != ERROR_SUCCESS) {
        value.clear();
        return finishWithError(error, status);
    }
    // The value may grow between the calls: ask again until the buffer is large enough.
    DWORD type = REG_NONE;
    DWORD size = 0;
    error = RegQueryValueExW(handle.get(), valueName.c_str(), nullptr, &type, bytesOf(value), &size);
    while (error == ERROR_MORE_DATA) {
        value.resize((size + 1) / sizeof(wchar_t));
        size = byteSize(value.size());
        error = RegQueryValueExW(handle.get(), valueName.c_str(), nullptr, &type, bytesOf(value), &size);
    }
    if (error != ERROR_SUCCESS) {
        value.clear();
        return finishWithError(error, status);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        value.clear();
        return finish(RegistryStatus::WrongType, status);
    }
    // The stored data need not end in a NUL; when it does, the NUL is not part of the text.
    value.resize(size / sizeof(wchar_t));
    if (!value.empty() && value.back() == L'\0') {
        value.pop_back();
    }
    return finish(RegistryStatus::Ok, status);
}

bool Win32Registry::writeString(const std::string& key, const std::string& valueName,
                                const std::string& value, RegistryStatus* status) {
    return writeString(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::writeString(const std::wstring& key, const std::wstring& valueName,
                                const std::string& value, RegistryStatus* status) {
    return writeString(key, valueName, str::utf8ToWide(value), status);
}

bool Win32Registry::writeString(const std::string& key, const std::string& valueName,
                                const std::wstring& value, RegistryStatus* status) {
    return writeString(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::writeString(const std::wstring& key, const std::wstring& valueName,
                                const std::wstring& value, RegistryStatus* status) {
    return writeValue(key, valueName, REG_SZ, value.c_str(), byteSize(value.size() + 1), status);
}

bool Win32Registry::readDword(const std::string& key, const std::string& valueName, DWORD& value,
                              RegistryStatus* status) {
    return readDword(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::readDword(const std::wstring& key, const std::wstring& valueName, DWORD& value,
                              RegistryStatus* status) {
    return readFixedSize(key, valueName, REG_DWORD, &value, sizeof(value), status);
}

bool Win32Registry::writeDword(const std::string& key, const std::string& valueName, DWORD value,
                               RegistryStatus* status) {
    return writeDword(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::writeDword(const std::wstring& key, const std::wstring& valueName, DWORD value,
                               RegistryStatus* status) {
    return writeValue(key, valueName, REG_DWORD, &value, sizeof(value), status);
}

bool Win32Registry::readQword(const std::string& key, const std::string& valueName, std::uint64_t& value,
                              RegistryStatus* status) {
    return readQword(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::readQword(const std::wstring& key, const std::wstring& valueName, std::uint64_t& value,
                              RegistryStatus* status) {
    return readFixedSize(key, valueName, REG_QWORD, &value, sizeof(value), status);
}

bool Win32Registry::writeQword(const std::string& key, const std::string& valueName, std::uint64_t value,
                               RegistryStatus* status) {
    return writeQword(str::utf8ToWide(key), str::utf8ToWide(valueName), value, status);
}

bool Win32Registry::writeQword(const std::wstring& key, const std::wstring& valueName, std::uint64_t value,
                               RegistryStatus* status) {
    return writeValue(key, valueName, REG_QWORD, &value, sizeof(value), status);
}

bool Win32Registry::readMultiString(const std::string& key, const std::string& valueName,
                                    std::vector<std::string>& values, RegistryStatus* status) {
    // Seeded with the caller's list so that an empty value leaves it as the wide form does.
    std::vector<std::wstring> wide = toWide(values);
    if (!readMultiString(str::utf8ToWide(key), str::utf8ToWide(valueName), wide, status)) {
        return false;
    }
    values = toUtf8(wide);
    return true;
}

bool Win32Registry::readMultiString(const std::wstring& key, const std::wstring& valueName,
                                    std::vector<std::wstring>& values, RegistryStatus* status) {
    std::vector<BYTE> data;
    DWORD type = REG_NONE;
    if (!readRaw(key, valueName, readAccess, REG_MULTI_SZ, data, type, status)) {
        return false;
    }
    if (!data.empty()) {
        // An odd last byte is half a character and belongs to no item.
        std::wstring units(data.size() / sizeof(wchar_t), L'\0');
        std::memcpy(bytesOf(units), data.data(), byteSize(units.size()));
        values = parseMultiString(units.data(), units.size());
    }
    return true;
}

bool Win32Registry::writeMultiString(const std::string& key, const std::string& valueName,
                                     const std::vector<std::string>& values, RegistryStatus* status) {
    return writeMultiString(str::utf8ToWide(key), str::utf8ToWide(valueName), toWide(values), status);
}

bool Win32Registry::writeMultiString(const std::wstring& key, const std::wstring& valueName,
                                     const std::vector<std::wstring>& values, RegistryStatus* status) {
    // Built before the key is opened: a list that cannot be stored leaves the registry as it was.
    const std::optional<std::wstring> units = buildMultiString(values);
    if (!units) {
        return finish(RegistryStatus::InvalidArgument, status);
    }
    return writeValue(key, valueName, REG_MULTI_SZ, units->data(), byteSize(units->size()), status);
}

bool Win32Registry::readBinary(const std::string& key, const std::string& valueName, std::vector<BYTE>& data,
                               RegistryStatus* status) {
    return readBinary(str::utf8ToWide(key), str::utf8ToWide(valueName), data, status);
}

bool Win32Registry::readBinary(const std::wstring& key, const std::wstring& valueName,
                               std::vector<BYTE>& data, RegistryStatus* status) {
    DWORD type = REG_NONE;
    return readRaw(key, valueName, binaryReadAccess, REG_BINARY, data, type, status);
}

bool Win32Registry::writeBinary(const std::string& key, const std::string& valueName,
                                const std::vector<BYTE>& data, RegistryStatus* status) {
    return writeBinary(str::utf8ToWide(key), str::utf8ToWide(valueName), data, status);
}

bool Win32Registry::writeBinary(const std::wstring& key, const std::wstring& valueName,
                                const std::vector<BYTE>& data, RegistryStatus* status) {
    return writeValue(key, valueName, REG_BINARY, data.data(), static_cast<DWORD>(data.size()), status);
}

bool Win32Registry::deleteValue(const std::string& key, const std::string& valueName,
                                RegistryStatus* status) {
    return deleteValue(str::utf8ToWide(key), str::utf8ToWide(valueName), status);
}

bool Win32Registry::deleteValue(const std::wstring& key, const std::wstring& valueName,
                                RegistryStatus* status) {
    ScopedRegKey handle;
    LONG error = open(key, writeAccess, handle.put());
    if (error == ERROR_SUCCESS) {
        error = RegDeleteValueW(handle.get(), valueName.c_str());
    }
    return finishWithError(error, status);
}

bool Win32Registry::keyExists(const std::string& key, RegistryStatus* status) {
    return keyExists(str::utf8ToWide(key), status);
}

bool Win32Registry::keyExists(const std::wstring& key, RegistryStatus* status) {
    ScopedRegKey handle;
    return finishWithError(open(key, existsAccess, handle.put()), status);
}

bool Win32Registry::keyExists(const std::string& parent, const std::string& name, RegistryStatus* status) {
    return keyExists(str::utf8ToWide(parent), str::utf8ToWide(name), status);
}

bool Win32Registry::keyExists(const std::wstring& parent, const std::wstring& name, RegistryStatus* status) {
    return keyExists(parent + L"\\" + name, status);
}

bool Win32Registry::createKey(const std::string& parent, const std::string& name, RegistryStatus* status) {
    return createKey(str::utf8ToWide(parent), str::utf8ToWide(name), status);
}

bool Win32Registry::createKey(const std::wstring& parent, const std::wstring& name, RegistryStatus* status) {
    return createKey(parent, name, 0, status);
}

bool Win32Registry::createKey(const std::string& parent, const std::string& name, DWORD options,
                              RegistryStatus* status) {
    return createKey(str::utf8ToWide(parent), str::utf8ToWide(name), options, status);
}

bool Win32Registry::createKey(const std::wstring& parent, const std::wstring& name, DWORD options,
                              RegistryStatus* status) {
    if (name.empty()) {
        return finish(RegistryStatus::InvalidArgument, status);
    }
    const std::wstring path = parent + L"\\" + name;
    ScopedRegKey handle;
    const LONG error = RegCreateKeyExW(root_, path.c_str(), 0, nullptr, options, viewFlags_ | createAccess,
                                       nullptr, handle.put(), nullptr);
    return finishWithError(error, status);
}

bool Win32Registry::deleteKey(const std::string& parent, const std::string& name, RegistryStatus* status) {
    return deleteKey(str::utf8ToWide(parent), str::utf8ToWide(name), status);
}

bool Win32Registry::deleteKey(const std::wstring& parent, const std::wstring& name, RegistryStatus* status) {
    if (name.empty()) {
        return finish(RegistryStatus::InvalidArgument, status);
    }
    ScopedRegKey handle;
    LONG error = open(parent, readAccess, handle.put());
    if (error == ERROR_SUCCESS) {
        error = RegDeleteKeyW(handle.get(), name.c_str());
    }
    return finishWithError(error, status);
}

bool Win32Registry::deleteKey(const std::string& path, RegistryStatus* status) {
    return deleteKey(str::utf8ToWide(path), status);
}

bool Win32Registry::deleteKey(const std::wstring& path, RegistryStatus* status) {
    const std::wstring::size_type separator = path.rfind(L'\\');
    if (separator == std::wstring::npos) {
        return finish(RegistryStatus::InvalidArgument, status);
    }
    return deleteKey(path.substr(0, separator), path.substr(separator + 1), status);
}

bool Win32Registry::createKeyPath(const std::string& path, RegistryStatus* status) {
    return createKeyPath(str::utf8ToWide(path), status);
}

bool Win32Registry::createKeyPath(const std::wstring& path, RegistryStatus* status) {
    const std::wstring::size_type separator = path.rfind(L'\\');
    if (separator == std::wstring::npos) {
        // The top-level component is taken to exist: callers name keys below a known one.
        return finish(RegistryStatus::Ok, status);
    }
    const std::wstring parent = path.substr(0, separator);
    return createKeyPath(parent, status) && createKey(parent, path.substr(separator + 1), status);
}

bool Win32Registry::deleteTree(const std::string& parent, const std::string& name, RegistryStatus* status) {
    return deleteTree(str::utf8ToWide(parent), str::utf8ToWide(name), status);
}

bool Win32Registry::deleteTree(const std::wstring& parent, const std::wstring& name, RegistryStatus* status) {
    if (name.empty()) {
        return finish(RegistryStatus::InvalidArgument, status);
    }
    ScopedRegKey handle;
    LONG error = open(parent, treeDeleteParentAccess, handle.put());
    if (error == ERROR_SUCCESS) {
        error = RegDeleteTreeW(handle.get(), name.c_str());
    }
    return finishWithError(error, status);
}

std::size_t Win32Registry::enumerateSubKeys(const std::string& key, std::vector<std::string>& names,
                                            RegistryStatus* status) {
    std::vector<std::wstring> wide;
    const std::size_t count = enumerateSubKeys(str::utf8ToWide(key), wide, status);
    names = toUtf8(wide);
    return count;
}

std::size_t Win32Registry::enumerateSubKeys(const std::wstring& key, std::vector<std::wstring>& names,
                                            RegistryStatus* status) {
    return enumerateNames(
        key, subKeyNameCapacity, names, status, [](HKEY handle, DWORD index, wchar_t* name, DWORD* length) {
            return RegEnumKeyExW(handle, index, name, length, nullptr, nullptr, nullptr, nullptr);
        });
}

std::size_t Win32Registry::enumerateValues(const std::string& key, std::vector<std::string>& names,
                                           RegistryStatus* status) {
    std::vector<std::wstring> wide;
    const std::size_t count = enumerateValues(str::utf8ToWide(key), wide, status);
    names = toUtf8(wide);
    return count;
}

std::size_t Win32Registry::enumerateValues(const std::wstring& key, std::vector<std::wstring>& names,
                                           RegistryStatus* status) {
    return enumerateNames(
        key, valueNameCapacity, names, status, [](HKEY handle, DWORD index, wchar_t* name, DWORD* length) {
            return RegEnumValueW(handle, index, name, length, nullptr, nullptr, nullptr, nullptr);
        });
}

std::size_t Win32Registry::enumerateNames(const std::wstring& key, DWORD capacity,
                                          std::vector<std::wstring>& names, RegistryStatus* status,
                                          EnumerateFunction enumerate) {
    names.clear();
    ScopedRegKey handle;
    LONG error = open(key, readAccess, handle.put());
    std::vector<wchar_t> name(capacity);
    for (DWORD index = 0; error == ERROR_SUCCESS; ++index) {
        DWORD length = capacity;
        error = enumerate(handle.get(), index, name.data(), &length);
        if (error == ERROR_SUCCESS) {
            names.emplace_back(name.data(), length);
        }
    }
    if (error != ERROR_NO_MORE_ITEMS) {
        names.clear();
        finishWithError(error, status);
        return 0;
    }
    finish(RegistryStatus::Ok, status);
    return names.size();
}

void Win32Registry::setRoot(HKEY root) {
    root_ = root;
}

void Win32Registry::setViewFlags(REGSAM viewFlags) {
    viewFlags_ = viewFlags;
}

RegistryStatus Win32Registry::lastStatus() const {
    return status_;
}

bool Win32Registry::readValue(const std::string& key, const std::string& valueName, std::vector<BYTE>& data,
                              DWORD& type, RegistryStatus* status) {
    return readValue(str::utf8ToWide(key), str::utf8ToWide(valueName), data, type, status);
}

bool Win32Registry::readValue(const std::wstring& key, const std::wstring& valueName, std::vector<BYTE>& data,
                              DWORD& type, RegistryStatus* status) {
    return readRaw(key, valueName, readAccess, anyType, data, type, status);
}

bool Win32Registry::readFixedSize(const std::wstring& key, const std::wstring& valueName, DWORD acceptedType,
                                  void* value, DWORD size, RegistryStatus* status) {
    ScopedRegKey handle;
    LONG error = open(key, readAccess, handle.put());
    if (error != ERROR_SUCCESS) {
        return finishWithError(error, status);
    }
    // The type stays as preset when the value is missing, so that case maps to NotFound.
    DWORD type = acceptedType;
    error =
        RegQueryValueExW(handle.get(), valueName.c_str(), nullptr, &type, static_cast<BYTE*>(value), &size);
    if (type != acceptedType && type != REG_NONE) {
        return finish(RegistryStatus::WrongType, status);
    }
    return finishWithError(error, status);
}

bool Win32Registry::writeValue(const std::wstring& key, const std::wstring& valueName, DWORD type,
                               const void* data, DWORD size, RegistryStatus* status) {
    ScopedRegKey handle;
    LONG error = open(key, writeAccess, handle.put());
    if (error == ERROR_SUCCESS) {
        error =
            RegSetValueExW(handle.get(), valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    }
    return finishWithError(error, status);
}

bool Win32Registry::readRaw(const std::wstring& key, const std::wstring& valueName, REGSAM access,
                            DWORD requiredType, std::vector<BYTE>& data, DWORD& type,
                            RegistryStatus* status) {
    ScopedRegKey handle;
    LONG error = open(key, access, handle.put());
    if (error != ERROR_SUCCESS) {
        return finishWithError(error, status);
    }
    DWORD foundType = REG_NONE;
    DWORD size = 0;
    error = RegQueryValueExW(handle.get(), valueName.c_str(), nullptr, &foundType, nullptr, &size);
    if (error != ERROR_SUCCESS) {
        return finishWithError(error, status);
    }
    if (requiredType != anyType && foundType != requiredType) {
        return finish(RegistryStatus::WrongType, status);
    }
    std::vector<BYTE> bytes(size);
    if (size > 0) {
        // A value that grew since the size query fails here with ERROR_MORE_DATA.
        error = RegQueryValueExW(handle.get(), valueName.c_str(), nullptr, &foundType, bytes.data(), &size);
        if (error != ERROR_SUCCESS) {
            return finishWithError(error, status);
        }
        bytes.resize(size);
    }
    data.swap(bytes);
    type = foundType;
    return finish(RegistryStatus::Ok, status);
}

} // namespace ov
