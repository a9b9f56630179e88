// Cases that change machine-wide state: the shared logging key (its root folder and settings)
// and the restart-time file operations. They run alone and put everything back.
#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/FileContext.h>
#include <logging/Log.h>
#include <logging/LogSettings.h>
#include <logging/LoggerWin.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace OvKmfLogging;
using logtest::record;

namespace {

const wchar_t kNameSpace[] = L"logtest";
const wchar_t kProduct[] = L"MachineTest";
const wchar_t kLogName[] = L"settings";
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// A registry value of any root and view, put back as it was when the object goes.
class SavedValue {
public:
    SavedValue(HKEY root, std::wstring key, std::wstring name)
        : root_(root), key_(std::move(key)), name_(std::move(name)) {
        HKEY k = nullptr;
        if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_QUERY_VALUE, &k) == ERROR_SUCCESS) {
            DWORD size = 0;
            if (RegQueryValueExW(k, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
                data_.resize(size);
                existed_ =
                    RegQueryValueExW(k, name_.c_str(), nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
            }
            RegCloseKey(k);
        }
    }
    ~SavedValue() {
        HKEY k = nullptr;
        if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
            ERROR_SUCCESS) {
            if (existed_) {
                RegSetValueExW(k, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
            } else {
                RegDeleteValueW(k, name_.c_str());
            }
            RegCloseKey(k);
        }
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    HKEY root_;
    std::wstring key_;
    std::wstring name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<unsigned char> data_;
};

std::vector<std::wstring> multiString(HKEY root, const wchar_t* key, const wchar_t* name) {
    std::vector<std::wstring> strings;
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) {
        return strings;
    }
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExW(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
        if (RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS) {
            // Pairs of source and target, where an empty target (a deletion) looks like the list's end:
            // walk the stored size instead.
            const std::size_t count = size / sizeof(wchar_t);
            for (std::size_t at = 0; at < count && !(at + 1 == count && data[at] == L'\0');) {
                const std::wstring item(data.data() + at);
                strings.push_back(item);
                at += item.size() + 1;
            }
        }
    }
    RegCloseKey(k);
    return strings;
}

// One setting at one of the three levels: absent, a DWORD, or a string.
struct Setting {
    enum Kind { Absent, Dword, Text } kind;
    DWORD value;
};
const Setting kAbsent{Setting::Absent, 0};
Setting dword(DWORD value) {
    return Setting{Setting::Dword, value};
}
const Setting kText{Setting::Text, 0};

void apply(logtest::LoggingValue& value, const Setting& setting) {
    switch (setting.kind) {
    case Setting::Absent:
        value.remove();
        break;
    case Setting::Dword:
        value.setDword(setting.value);
        break;
    case Setting::Text:
        value.setString(L"3");
        break;
    }
}

} // namespace

// "RootPath" in the 32-bit view of HKLM moves an administrator's log folder.
TEST(LogRoot, MachineRootPathMovesTheFolder) {
    ovtest::TempDir root(L"logroot");
    logtest::LoggingValue rootPath(L"", L"RootPath");
    rootPath.setString(root.path());
    {
        LoggerWin logger;
        logger.open(kNameSpace, kProduct, L"moved", Info, 0);
        record(logger, Info, "f", L"moved");
        logger.close();
    }
    const std::wstring file = root.path() + L"\\Orvanta\\NS\\logtest\\Log\\MachineTest\\moved.log";
    EXPECT_NE(std::string::npos, ovtest::readFile(file).find("f: moved"));
    EXPECT_EQ(root.path(), logRoot(LogRootKind::Machine));
}

// "RootPath" under HKCU moves the folder of a process without administrator rights.
TEST(LogRoot, UserRootPathMovesTheFolderOfANormalProcess) {
    ovtest::TempDir root(L"logroot");
    const std::wstring key = std::wstring(kLoggingKey);
    HKEY created = nullptr;
    const bool keyExisted = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                                          &created) == ERROR_SUCCESS;
    if (keyExisted) {
        RegCloseKey(created);
    }
    {
        SavedValue saved(HKEY_CURRENT_USER, key, L"RootPath");
        HKEY k = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                                 KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &k, nullptr));
        const std::wstring value = root.path();
        RegSetValueExW(k, L"RootPath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);

        ovtest::ProcessOptions options;
        options.asNonAdministrator = true;
        EXPECT_EQ(0u,
                  ovtest::runProcess(
                      ovtest::quote(logtest::writerExe()) + L" write logtest MachineTest user 2 u", options));
    }
    if (!keyExisted) {
        RegDeleteKeyExW(HKEY_CURRENT_USER, key.c_str(), KEY_WOW64_32KEY, 0);
    }
    const std::string content =
        ovtest::readFile(root.path() + L"\\Orvanta\\NS\\logtest\\Log\\MachineTest\\user.log");
    EXPECT_EQ(2u, logtest::linesWith(ovtest::splitLines(content), "writeRecords: u record").size())
        << content;
}

// The most specific key with a DWORD wins; 0xFFFFFFFF counts as unset except in the Logging key,
// and a value of another type counts as unset everywhere.
TEST(LogSettings, PrecedenceAcrossTheThreeKeys) {
    struct Case {
        Setting logging, product, logName;
        DWORD expected;
    };
    const DWORD openLevel = 4;
    const Case cases[] = {
        {kAbsent, kAbsent, kAbsent, openLevel},
        {dword(2), kAbsent, kAbsent, 2},
        {dword(2), dword(5), kAbsent, 5},
        {dword(2), dword(5), dword(6), 6},
        {kAbsent, kAbsent, dword(1), 1},
        {kAbsent, dword(5), kAbsent, 5},
        {dword(2), dword(0xFFFFFFFF), kAbsent, 2},
        {dword(2), dword(5), dword(0xFFFFFFFF), 5},
        {dword(2), dword(0xFFFFFFFF), dword(0xFFFFFFFF), 2},
        {kAbsent, dword(0xFFFFFFFF), dword(0xFFFFFFFF), openLevel},
        {dword(0xFFFFFFFF), kAbsent, kAbsent, 0xFFFFFFFF},
        {kText, kAbsent, kAbsent, openLevel},
        {dword(2), kText, kAbsent, 2},
        {dword(2), dword(5), kText, 5},
        {kText, kText, kText, openLevel},
        {dword(0), dword(0xFFFFFFFF), kText, 0},
    };
    const std::wstring productKey = kProduct;
    for (std::size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const Case& c = cases[i];
        logtest::LoggingValue logging(L"", L"LogLevel");
        logtest::LoggingValue product(productKey, L"LogLevel");
        logtest::LoggingValue logName(productKey + L"\\" + kLogName, L"LogLevel");
        apply(logging, c.logging);
        apply(product, c.product);
        apply(logName, c.logName);
        EXPECT_EQ(c.expected, readLoggingSetting(kProduct, kLogName, L"LogLevel", openLevel)) << "case " << i;
        FileContext context(std::make_unique<FileSystem::Path>(), kNameSpace, kProduct, kLogName, openLevel,
                            0);
        EXPECT_EQ(static_cast<int>(c.expected), context.logLevel()) << "case " << i;
    }
}

// The size limit and debugger mirroring are looked up the same way, with their own defaults.
TEST(LogSettings, SizeLimitAndDebugOutput) {
    logtest::LoggingValue size(L"", L"LogMaxSizeKB");
    logtest::LoggingValue debug(L"", L"DebugOutputLogging");
    logtest::LoggingValue productDebug(kProduct, L"DebugOutputLogging");
    size.remove();
    debug.remove();
    productDebug.remove();
    EXPECT_EQ(50u, readLoggingSetting(kProduct, kLogName, L"LogMaxSizeKB", 50));
    FileContext context(std::make_unique<FileSystem::Path>(), kNameSpace, kProduct, kLogName, Info, 0);
    EXPECT_FALSE(context.debugOutput());
    size.setDword(5000);
    debug.setDword(0);
    productDebug.setDword(1);
    EXPECT_EQ(5000u, readLoggingSetting(kProduct, kLogName, L"LogMaxSizeKB", 50));
    EXPECT_TRUE(context.debugOutput());
}

// Without a configured limit the log grows to 50 KiB before it rotates.
TEST(LogSettings, DefaultSizeLimitIs50KiB) {
    const std::wstring logName = L"default-size";
    logtest::LoggingValue logging(L"", L"LogMaxSizeKB");
    logtest::LoggingValue product(kProduct, L"LogMaxSizeKB");
    logtest::LoggingValue own(std::wstring(kProduct) + L"\\" + logName, L"LogMaxSizeKB");
    logging.remove();
    product.remove();
    own.remove();
    logtest::MachineLog log(kNameSpace, kProduct, logName);
    {
        LoggerWin logger;
        logger.open(kNameSpace, kProduct, logName.c_str(), Info, 0);
        for (int i = 0; i < 500 && !ovtest::fileExists(log.file(1)); ++i) {
            record(logger, Info, "f", L"record %03d %s", i, std::wstring(100, L'x').c_str());
        }
        logger.close();
    }
    const std::size_t rotated = ovtest::readFile(log.file(1)).size();
    EXPECT_GE(rotated, 50u * 1024u);
    EXPECT_LT(rotated, 50u * 1024u + 200u);
}

// A rotated-out file that cannot be deleted now is deleted at the next restart.
TEST(FileRemoval, LockedFileIsDeletedAtRestart) {
    SavedValue pending(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
    ovtest::TempDir folder(L"logremove");
    const std::wstring locked = folder / L"locked.log";
    ASSERT_TRUE(ovtest::writeFile(locked, "x"));
    // Opened without delete sharing: neither rename nor delete is possible now.
    HANDLE holder =
        CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    FileContext context(std::make_unique<FileSystem::Path>(), kNameSpace, kProduct, kLogName, Info, 0);
    context.removeFile(locked);
    const std::vector<std::wstring> operations =
        multiString(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
    CloseHandle(holder);

    bool scheduled = false;
    for (std::size_t i = 0; i + 1 < operations.size(); i += 2) {
        if (operations[i].find(L"locked.log") != std::wstring::npos && operations[i + 1].empty()) {
            scheduled = _wcsicmp(operations[i].c_str(), (L"\\??\\" + locked).c_str()) == 0;
        }
    }
    EXPECT_TRUE(scheduled);
    // A missing file is not scheduled.
    const std::size_t before =
        multiString(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations").size();
    FileSystem::Path().remove(folder / L"missing.log");
    EXPECT_EQ(before,
              multiString(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations").size());
}
