#include "TestLog.h"

#include "TestSupport.h"

#include <logging/Log.h>
#include <ov/Win32.h>

#include <shlobj.h>

#include <cstdio>

namespace ovtest {

namespace {

const wchar_t* const kProduct = L"KelvaraTests";

std::wstring readLoggingRoot() {
    wchar_t root[MAX_PATH] = {};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvanta\\KMF\\Logging", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof(root) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG status =
            RegQueryValueExW(key, L"RootPath", nullptr, &type, reinterpret_cast<BYTE*>(root), &size);
        RegCloseKey(key);
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && root[0] != L'\0') {
            return root;
        }
    }
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, root);
    return root;
}

void setDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// Settings of this log's own key, which win over any general ones: every level, and a size
// limit that never rotates the file in the middle of a test (which would cut records off).
void configureLog(const std::wstring& logName) {
    const std::wstring key = std::wstring(L"SOFTWARE\\Orvanta\\KMF\\Logging\\") + kProduct + L"\\" + logName;
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                        nullptr, &handle, nullptr) == ERROR_SUCCESS) {
        setDword(handle, L"LogLevel", OvKmfLogging::Verbose);
        setDword(handle, L"LogMaxSizeKB", 1024 * 1024);
        RegCloseKey(handle);
    }
}

} // namespace

TestLog::TestLog(const wchar_t* logName)
    : path_(readLoggingRoot() + L"\\Orvanta\\Log\\" + kProduct + L"\\" + logName + L".log") {
    configureLog(logName);
    // Process ids repeat between runs: every record in the file is to be of this run.
    DeleteFileW(path_.c_str());
    OvKmfLogging::open(kProduct, logName, OvKmfLogging::Verbose, 0);
}

TestLog::~TestLog() {
    OvKmfLogging::close();
}

std::uint64_t TestLog::mark() const {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> TestLog::recordsSince(std::uint64_t mark) const {
    OvKmfLogging::flush();
    const std::string text = readFile(path_);
    char ids[32];
    std::snprintf(ids, sizeof(ids), "[%04lx.", static_cast<unsigned long>(GetCurrentProcessId()));
    std::vector<std::string> records;
    for (const std::string& line : splitLines(mark < text.size() ? text.substr(mark) : std::string())) {
        // "yyyy-mm-dd hh:mm:ss.mmm [pid.tid] LL: function: message"
        const std::string::size_type at = line.find(ids);
        const std::string::size_type end = line.find("] ", at == std::string::npos ? 0 : at);
        if (at == std::string::npos || end == std::string::npos) {
            continue;
        }
        records.push_back(line.substr(end + 2));
    }
    return records;
}

} // namespace ovtest
