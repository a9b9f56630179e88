#include <logging/LogSettings.h>

#include <ov/Handle.h>

namespace OvKmfLogging {

const wchar_t kLoggingKey[] = L"SOFTWARE\\Orvanta\\KMF\\Logging";

namespace {

const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const DWORD kNotSet = 0xFFFFFFFF;

bool queryDword(const std::wstring& subKey, const wchar_t* name, DWORD& value) {
    ov::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data)) {
        return false;
    }
    value = data;
    return true;
}

// A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); empty when missing.
std::wstring queryString(HKEY root, const wchar_t* subKey, const wchar_t* name, REGSAM view) {
    ov::ScopedRegKey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) {
        return std::wstring();
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
        return std::wstring();
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::wstring();
    }
    text.resize(size / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

std::wstring expandEnvironment(const wchar_t* text) {
    const DWORD size = ExpandEnvironmentStringsW(text, nullptr, 0);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring expanded(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text, &expanded[0], size);
    if (written == 0 || written > size) {
        return std::wstring();
    }
    expanded.resize(written - 1);
    return expanded;
}

// The first non-empty of: "RootPath" under the hive's logging key, the hive's shell folder,
// the environment's folder.
std::wstring configuredOrKnownRoot(HKEY hive, const wchar_t* shellFolder, const wchar_t* environmentFolder) {
    std::wstring root = queryString(hive, kLoggingKey, L"RootPath", KEY_WOW64_32KEY);
    if (root.empty()) {
        root = queryString(hive, kShellFoldersKey, shellFolder, 0);
    }
    if (root.empty()) {
        root = expandEnvironment(environmentFolder);
    }
    return root;
}

} // namespace

DWORD readLoggingSetting(const std::wstring& product, const std::wstring& logName, const wchar_t* name,
                         DWORD defaultValue) {
    const std::wstring productKey = std::wstring(kLoggingKey) + L"\\" + product;
    DWORD value = 0;
    if (queryDword(productKey + L"\\" + logName, name, value) && value != kNotSet) {
        return value;
    }
    if (queryDword(productKey, name, value) && value != kNotSet) {
        return value;
    }
    if (queryDword(kLoggingKey, name, value)) {
        return value;
    }
    return defaultValue;
}

std::wstring logRoot(LogRootKind kind) {
    switch (kind) {
    case LogRootKind::Machine:
        return configuredOrKnownRoot(HKEY_LOCAL_MACHINE, L"Common AppData", L"%ProgramData%");
    case LogRootKind::User:
        return configuredOrKnownRoot(HKEY_CURRENT_USER, L"Local AppData", L"%LOCALAPPDATA%");
    case LogRootKind::LowIntegrity:
        // The LocalLow folder: the only one a low-integrity process may write to.
        return queryString(HKEY_CURRENT_USER, kShellFoldersKey, L"{A520A1A4-1780-4FF6-BD18-167343C5AF16}", 0);
    }
    return std::wstring();
}

} // namespace OvKmfLogging
