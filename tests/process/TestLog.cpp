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

// Opened once per test program, before any test redirects the registry. Its own key wins over
// general settings: every level, and a size limit that never rotates the file in the middle of
// a test (which would cut records off).
class TestLog {
public:
    TestLog() {
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring name = module;
        name = name.substr(name.find_last_of(L'\\') + 1);
        name = name.substr(0, name.find_last_of(L'.'));
        path = readLoggingRoot() + L"\\Orvanta\\Log\\" + kProduct + L"\\" + name + L".log";

        const std::wstring key = std::wstring(L"SOFTWARE\\Orvanta\\KMF\\Logging\\") + kProduct + L"\\" + name;
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                            nullptr, &handle, nullptr) == ERROR_SUCCESS) {
            const DWORD level = OvKmfLogging::Verbose;
            const DWORD sizeKb = 1024 * 1024;
            RegSetValueExW(handle, L"LogLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), 4);
            RegSetValueExW(handle, L"LogMaxSizeKB", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&sizeKb), 4);
            RegCloseKey(handle);
        }
        // Process ids repeat between runs: every record in the file is to be of this run.
        DeleteFileW(path.c_str());
        OvKmfLogging::open(kProduct, name.c_str(), OvKmfLogging::Verbose, 0);
    }
    ~TestLog() { OvKmfLogging::close(); }

    std::wstring path;
};

const TestLog& testLog() {
    static const TestLog log;
    return log;
}

} // namespace

LogMark::LogMark(bool fromStart) : mark_(0) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!fromStart && GetFileAttributesExW(testLog().path.c_str(), GetFileExInfoStandard, &data)) {
        mark_ = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
}

std::vector<std::string> LogMark::records() const {
    OvKmfLogging::flush();
    const std::string text = readFile(testLog().path);
    char ids[32];
    std::snprintf(ids, sizeof(ids), "[%04lx.", static_cast<unsigned long>(GetCurrentProcessId()));
    std::vector<std::string> records;
    for (const std::string& line : splitLines(mark_ < text.size() ? text.substr(mark_) : std::string())) {
        // "yyyy-mm-dd hh:mm:ss.mmm [pid.tid] LL: function: message"
        const std::string::size_type at = line.find(ids);
        const std::string::size_type end = at == std::string::npos ? at : line.find("] ", at);
        if (end != std::string::npos) {
            records.push_back(line.substr(end + 2));
        }
    }
    return records;
}

std::vector<std::string> LogMark::matching(const std::string& text) const {
    std::vector<std::string> result;
    for (const std::string& record : records()) {
        if (record.find(text) != std::string::npos) {
            result.push_back(record);
        }
    }
    return result;
}

} // namespace ovtest
