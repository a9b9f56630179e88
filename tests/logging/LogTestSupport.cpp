#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/LogSettings.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <regex>
#include <utility>

namespace logtest {

const wchar_t kNameSpace[] = L"logtest";

namespace {

std::wstring shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

} // namespace

std::wstring testProduct() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ovtest::toWide(std::string(info->test_suite_name()) + "." + info->name() + "." +
                          std::to_string(GetCurrentProcessId()));
}

std::wstring commonAppData() {
    return shellFolder(CSIDL_COMMON_APPDATA);
}
std::wstring localAppData() {
    return shellFolder(CSIDL_LOCAL_APPDATA);
}

MachineLog::MachineLog(std::wstring product_, std::wstring logName_)
    : product(std::move(product_)), logName(std::move(logName_)) {
    ovtest::removeTree(folder());
}

MachineLog::~MachineLog() {
    ovtest::removeTree(folder());
}

std::wstring MachineLog::folder() const {
    return commonAppData() + L"\\Orvanta\\NS\\" + kNameSpace + L"\\Log\\" + product;
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

std::vector<std::string> MachineLog::fromLabels() const {
    std::vector<std::string> result;
    for (const std::string& line : lines()) {
        const std::string::size_type at = line.empty() ? 0 : line.find("] ") + 2;
        result.push_back(line.substr(at, line.find(" (UTC") - at));
    }
    return result;
}

LoggingValue::LoggingValue(std::wstring subKey, std::wstring name, HKEY hive)
    : hive_(hive), key_(std::wstring(OvKmfLogging::kLoggingKey) + (subKey.empty() ? L"" : L"\\" + subKey)),
      name_(std::move(name)) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive_, key_.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(key, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size);
            existed_ =
                RegQueryValueExW(key, name_.c_str(), nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    // The levels that do not exist yet, innermost first. HKLM's Logging key itself stays: the
    // tests running beside this one write below it.
    const std::wstring keep = hive_ == HKEY_LOCAL_MACHINE ? OvKmfLogging::kLoggingKey : L"SOFTWARE";
    for (std::wstring path = key_; path.size() > keep.size(); path.resize(path.rfind(L'\\'))) {
        HKEY probe = nullptr;
        if (RegOpenKeyExW(hive_, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &probe) == ERROR_SUCCESS) {
            RegCloseKey(probe);
            break;
        }
        createdKeys_.push_back(path);
    }
}

LoggingValue::~LoggingValue() {
    if (existed_) {
        set(type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
        remove();
    }
    for (const std::wstring& key : createdKeys_) {
        RegDeleteKeyExW(hive_, key.c_str(), KEY_WOW64_32KEY, 0);
    }
}

void LoggingValue::setDword(DWORD value) {
    set(REG_DWORD, &value, sizeof(value));
}

void LoggingValue::setString(const std::wstring& value, DWORD type) {
    set(type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void LoggingValue::remove() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive_, key_.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, name_.c_str());
        RegCloseKey(key);
    }
}

void LoggingValue::set(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(hive_, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
}

unsigned long runWriter(const std::wstring& product, const std::wstring& logName, int count,
                        const std::wstring& tag, bool asNonAdministrator) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self);
    exe = exe.substr(0, exe.rfind(L'\\') + 1) + L"log-writer.exe";
    ovtest::ProcessOptions options;
    options.asNonAdministrator = asNonAdministrator;
    return ovtest::runProcess(ovtest::quote(exe) + L" " + kNameSpace + L" " + ovtest::quote(product) + L" " +
                                  logName + L" " + std::to_wstring(count) + L" " + tag,
                              options);
}

Record parseRecord(const std::string& line) {
    static const std::regex start(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{4,8}\.[0-9a-f]{4,8}\] (..): )");
    std::smatch match;
    Record record;
    if (std::regex_search(line, match, start, std::regex_constants::match_continuous)) {
        record.valid = true;
        record.label = match.str(1);
        record.text = match.suffix().str();
    }
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
