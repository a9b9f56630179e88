#include "TestLog.h"

#include "TestSupport.h"

#include <logging/Log.h>
#include <ov/Win32.h>

#include <shlobj.h>

#include <cstdio>

namespace ovtest {

namespace {

const wchar_t* const kProduct = L"KelvaraTests";

std::wstring commonAppData() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    return folder;
}

// The limit is read from the logger's per-log key; a rotation in the middle of a test would
// cut records off.
void raiseSizeLimit(const std::wstring& logName) {
    const std::wstring key = std::wstring(L"SOFTWARE\\Orvanta\\KMF\\Logging\\") + kProduct + L"\\" + logName;
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                        nullptr, &handle, nullptr) == ERROR_SUCCESS) {
        const DWORD limitKb = 1024 * 1024;
        RegSetValueExW(handle, L"LogMaxSizeKB", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&limitKb),
                       sizeof(limitKb));
        RegCloseKey(handle);
    }
}

} // namespace

TestLog::TestLog(const wchar_t* logName)
    : path_(commonAppData() + L"\\Orvanta\\Log\\" + kProduct + L"\\" + logName + L".log") {
    raiseSizeLimit(logName);
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
