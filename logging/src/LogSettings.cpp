#include <logging/LogSettings.h>

#include <ov/Str.h>
#include <ov/Win32Registry.h>

#include <cstring>
#include <vector>

namespace OvKmfLogging {

const wchar_t kLoggingKey[] = L"SOFTWARE\\Orvanta\\KMF\\Logging";

namespace {

const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const DWORD kNotSet = 0xFFFFFFFF;

// Stricter than Win32Registry::readDword (which also takes REG_NONE): only a 4-byte REG_DWORD counts.
bool queryDword(const std::wstring& subKey, const wchar_t* name, DWORD& value) {
    std::vector<BYTE> data;
    DWORD type = REG_NONE;
    if (!ov::Win32Registry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY).readValue(subKey, name, data, type) ||
        type != REG_DWORD || data.size() != sizeof(value)) {
        return false;
    }
    std::memcpy(&value, data.data(), sizeof(value));
    return true;
}

// A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); empty when missing.
std::wstring queryString(HKEY root, const wchar_t* subKey, const wchar_t* name, REGSAM view) {
    std::wstring text;
    ov::Win32Registry(root, view).readString(subKey, name, text);
    return text;
}

// The first non-empty of: "RootPath" under the hive's logging key, the hive's shell folder,
// the environment's folder.
std::wstring configuredOrKnownRoot(HKEY hive, const wchar_t* shellFolder, const wchar_t* environmentFolder) {
    std::wstring root = queryString(hive, kLoggingKey, L"RootPath", KEY_WOW64_32KEY);
    if (root.empty()) {
        root = queryString(hive, kShellFoldersKey, shellFolder, 0);
    }
    if (root.empty()) {
        root = environmentFolder;
        ov::str::expandEnvironmentStrings(root);
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
