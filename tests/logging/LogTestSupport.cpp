#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/LogSettings.h>
#include <logging/RecordFormat.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace logtest {

namespace {

std::wstring shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return std::wstring();
    }
    return path;
}

const REGSAM kView = KEY_WOW64_32KEY;

} // namespace

std::wstring currentTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ovtest::toWide(std::string(info->test_suite_name()) + "." + info->name());
}

void record(OvKmfLogging::Logger& logger, int level, const char* functionName, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    logger.logV(level, functionName, format, args);
    va_end(args);
}

void recordNarrow(OvKmfLogging::Logger& logger, int level, const char* functionName, const char* format,
                  ...) {
    va_list args;
    va_start(args, format);
    logger.logV(level, functionName, format, args);
    va_end(args);
}

std::string functionPrefixOf(const char* functionName) {
    const SYSTEMTIME time = {};
    const std::string header = OvKmfLogging::recordStart(time, 1, 2, " I", nullptr, 0);
    return OvKmfLogging::recordStart(time, 1, 2, " I", functionName, 0).substr(header.size());
}

std::wstring commonAppData() {
    return shellFolder(CSIDL_COMMON_APPDATA);
}
std::wstring localAppData() {
    return shellFolder(CSIDL_LOCAL_APPDATA);
}

MachineLog::MachineLog(std::wstring nameSpace_, std::wstring product_, std::wstring logName_)
    : nameSpace(std::move(nameSpace_)), product(std::move(product_)), logName(std::move(logName_)) {
    ovtest::removeTree(folder());
}

MachineLog::~MachineLog() {
    ovtest::removeTree(folder());
}

std::wstring MachineLog::folder() const {
    return commonAppData() + L"\\Orvanta\\NS\\" + nameSpace + L"\\Log\\" + product;
}

std::wstring MachineLog::file(int generation) const {
    const std::wstring base = folder() + L"\\" + logName;
    return generation == 0 ? base + L".log" : base + L"." + std::to_wstring(generation) + L".log";
}

std::string MachineLog::content() const {
    return ovtest::readFile(file());
}

std::vector<std::string> MachineLog::lines() const {
    return ovtest::splitLines(content());
}

LoggingValue::LoggingValue(std::wstring subKey, std::wstring name)
    : key_(std::wstring(OvKmfLogging::kLoggingKey) + (subKey.empty() ? L"" : L"\\" + subKey)),
      name_(std::move(name)) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_QUERY_VALUE | kView, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(key, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size);
            existed_ =
                RegQueryValueExW(key, name_.c_str(), nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    // Remember which levels below the Logging key do not exist yet, innermost first. The Logging
    // key itself stays: other tests of the same lab may be writing values into it meanwhile.
    const std::wstring logging = OvKmfLogging::kLoggingKey;
    std::wstring path = key_;
    while (path.size() > logging.size()) {
        HKEY probe = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | kView, &probe) == ERROR_SUCCESS) {
            RegCloseKey(probe);
            break;
        }
        createdKeys_.push_back(path);
        path.resize(path.rfind(L'\\'));
    }
}

LoggingValue::~LoggingValue() {
    if (existed_) {
        set(type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
        remove();
    }
    for (const std::wstring& key : createdKeys_) { // innermost first
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), kView, 0);
    }
}

void LoggingValue::setDword(DWORD value) {
    set(REG_DWORD, &value, sizeof(value));
}

void LoggingValue::setString(const std::wstring& value) {
    set(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void LoggingValue::remove() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_SET_VALUE | kView, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, name_.c_str());
        RegCloseKey(key);
    }
}

void LoggingValue::set(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
}

std::wstring writerExe() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + L"log-writer.exe";
}

Record parseRecord(const std::string& line) {
    // 2026-12-04 05:16:52.123 [1a2c.0f04]  I: text
    Record record;
    if (line.size() < 42 || line[10] != ' ' || line[23] != ' ' || line[24] != '[') {
        return record;
    }
    record.date = line.substr(0, 10);
    record.time = line.substr(11, 12);
    const std::string::size_type dot = line.find('.', 25);
    const std::string::size_type close = line.find(']', 25);
    if (dot == std::string::npos || close == std::string::npos || dot > close || close + 5 > line.size() ||
        line[close + 1] != ' ' || line.compare(close + 4, 2, ": ") != 0) {
        return record;
    }
    char* end = nullptr;
    record.processId = std::strtoul(line.c_str() + 25, &end, 16);
    record.threadId = std::strtoul(line.c_str() + dot + 1, &end, 16);
    record.label = line.substr(close + 2, 2);
    record.text = line.substr(close + 6);
    record.valid = dot - 25 >= 4 && close - dot - 1 >= 4;
    return record;
}

std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& marker) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.find(marker) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

} // namespace logtest
