// Cases that change the shared logging key: the root of the log folders and the settings of
// every log. They run alone and put everything back.
#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/FileContext.h>
#include <logging/Log.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using namespace OvKmfLogging;

// "RootPath" under the logging key moves the log folder: in HKLM's 32-bit view for an
// administrator, in HKCU for a process without administrator rights.
TEST(LogRoot, RootPathMovesTheFolder) {
    for (const bool admin : {true, false}) {
        SCOPED_TRACE(admin ? "administrator" : "normal user");
        ovtest::TempDir root(L"logroot");
        logtest::LoggingValue rootPath(L"", L"RootPath", admin ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
        rootPath.setString(root.path(), admin ? REG_SZ : REG_EXPAND_SZ);
        EXPECT_EQ(0u, logtest::runWriter(L"MachineTest", L"moved", 2, L"moved", !admin));
        const std::string content =
            ovtest::readFile(root / L"Orvanta\\NS\\logtest\\Log\\MachineTest\\moved.log");
        EXPECT_EQ(2u, logtest::linesWith(ovtest::splitLines(content), "::writeRecords: moved record").size())
            << content;
    }
}

// The most specific key with a DWORD wins; 0xFFFFFFFF counts as unset except in the Logging key,
// and a value of another type counts as unset everywhere.
TEST(LogSettings, LevelPrecedenceAcrossTheThreeKeys) {
    const DWORD absent = 0xA0000000; // stand-ins in the table: no value, a string value
    const DWORD text = 0xB0000000;
    const DWORD openLevel = 4;
    const struct {
        DWORD logging, product, logName, expected;
    } rows[] = {
        {absent, absent, absent, openLevel},
        {2, absent, absent, 2},
        {2, 5, absent, 5},
        {2, 5, 6, 6},
        {absent, absent, 1, 1},
        {2, 0xFFFFFFFF, absent, 2},
        {2, 5, 0xFFFFFFFF, 5},
        {absent, 0xFFFFFFFF, 0xFFFFFFFF, openLevel},
        {0xFFFFFFFF, absent, absent, 0xFFFFFFFF},
        {text, absent, absent, openLevel},
        {2, text, absent, 2},
        {2, 5, text, 5},
        {0, 0xFFFFFFFF, text, 0},
    };
    for (const auto& row : rows) {
        logtest::LoggingValue logging(L"", L"LogLevel");
        logtest::LoggingValue product(L"MachineTest", L"LogLevel");
        logtest::LoggingValue logName(L"MachineTest\\settings", L"LogLevel");
        const std::pair<logtest::LoggingValue*, DWORD> values[] = {
            {&logging, row.logging}, {&product, row.product}, {&logName, row.logName}};
        for (const auto& value : values) {
            if (value.second == text) {
                value.first->setString(L"3");
            } else if (value.second != absent) {
                value.first->setDword(value.second);
            } else {
                value.first->remove();
            }
        }
        FileContext context(std::make_unique<FileSystem::Path>(), logtest::kNameSpace, L"MachineTest",
                            L"settings", openLevel, 0);
        EXPECT_EQ(static_cast<int>(row.expected), context.logLevel())
            << std::hex << row.logging << " " << row.product << " " << row.logName;
    }
}
