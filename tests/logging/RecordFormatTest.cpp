// The text of records, banners, log paths and lock names, checked without any I/O.
#include "LogTestSupport.h"

#include <logging/LogPaths.h>
#include <logging/RecordFormat.h>

#include <gtest/gtest.h>

using namespace OvKmfLogging;
using logtest::functionPrefixOf;

// Readers of the log sort and filter on these exact labels.
TEST(RecordFormat, LevelLabelsAreTwoCharactersWithBlanksForUnknownLevels) {
    EXPECT_STREQ("*F", labelOfLevel(1));
    EXPECT_STREQ("*E", labelOfLevel(2));
    EXPECT_STREQ(".W", labelOfLevel(3));
    EXPECT_STREQ(" I", labelOfLevel(4));
    EXPECT_STREQ(" D", labelOfLevel(5));
    EXPECT_STREQ(" V", labelOfLevel(6));
    EXPECT_STREQ("  ", labelOfLevel(0));
    EXPECT_STREQ("  ", labelOfLevel(7));
    EXPECT_STREQ("  ", labelOfLevel(-1));
}

// A record starts with the zero-padded time, ids in lower-case hex of at least four digits, the
// label and the function prefix.
TEST(RecordFormat, RecordStartIsByteForByteTheDocumentedForm) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 4;
    time.wHour = 5;
    time.wMinute = 16;
    time.wSecond = 52;
    time.wMilliseconds = 7;
    EXPECT_EQ("2026-12-04 05:16:52.007 [1a2c.0f04]  I: MainLogic::execute: ",
              recordStart(time, 0x1a2c, 0xf04, " I", "MainLogic::execute", 4));
    EXPECT_EQ("2026-12-04 05:16:52.007 [1a2c.0f04] *E: ", recordStart(time, 0x1a2c, 0xf04, "*E", nullptr, 0));
    time = SYSTEMTIME{};
    time.wYear = 2027;
    time.wMonth = 1;
    time.wDay = 2;
    EXPECT_EQ("2027-01-02 00:00:00.000 [12345678.abcdef01]   : ",
              recordStart(time, 0x12345678, 0xabcdef01, "  ", "", 0));
}

// Function names as the compiler gives them, reduced to what the record shows.
TEST(RecordFormat, FunctionPrefixRules) {
    EXPECT_EQ("", functionPrefixOf(nullptr));
    EXPECT_EQ("", functionPrefixOf(""));
    EXPECT_EQ("WinMain: ", functionPrefixOf("WinMain"));
    EXPECT_EQ("MainLogic::execute: ", functionPrefixOf("MainLogic::execute"));
    EXPECT_EQ("::CreateShellLinkObject: ", functionPrefixOf("`anonymous-namespace'::CreateShellLinkObject"));
    EXPECT_EQ(": ", functionPrefixOf("`anonymous-namespace'"));
    EXPECT_EQ("MainLogic::execute::<lambda>: ",
              functionPrefixOf("MainLogic::execute::<lambda_8f3a21c0b7>::operator ()"));
    EXPECT_EQ("::f::<lambda>: ", functionPrefixOf("`anonymous-namespace'::f::<lambda_1>::operator ()"));
    // Only a call operator's name (ending in "()") is shortened.
    EXPECT_EQ("A::<lambda_1>::x: ", functionPrefixOf("A::<lambda_1>::x"));
    EXPECT_EQ("g(): ", functionPrefixOf("g()"));
    EXPECT_EQ("(): ", functionPrefixOf("()"));
    // The marker only counts at the start.
    EXPECT_EQ("A::`anonymous-namespace'::f: ", functionPrefixOf("A::`anonymous-namespace'::f"));
}

// The start banner names the local offset as hours and minutes, signed like the offset.
TEST(RecordFormat, StartBannerOffsets) {
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC+2:00, session: 0x1)", startBannerText(120, 1, false));
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC-5:00, session: 0x0)", startBannerText(-300, 0, false));
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC+5:30, session: 0x2a)", startBannerText(330, 42, false));
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC+59:59, session: 0xdeadbeef)",
              startBannerText(3599, 0xDEADBEEF, false));
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC+0:00, session: 0x1)", startBannerText(0, 1, false));
    // Half-hour zones west of UTC: the minutes carry the sign too.
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC-3:-30, session: 0x1)", startBannerText(-210, 1, false));
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC+00:00, local:+5:30, session: 0x1)",
              startBannerText(330, 1, true));
    EXPECT_EQ("***  LOGGING STARTED  *** (UTC+00:00, local:-5:00, session: 0x1)",
              startBannerText(-300, 1, true));
}

// Daylight time uses the daylight bias, standard and unknown the standard bias; a failed query 3599.
TEST(RecordFormat, LocalOffsetFromTimeZoneInformation) {
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = -60; // UTC+1
    zone.DaylightBias = -60;
    zone.StandardBias = 0;
    EXPECT_EQ(120, localOffsetMinutes(TIME_ZONE_ID_DAYLIGHT, zone));
    EXPECT_EQ(60, localOffsetMinutes(TIME_ZONE_ID_STANDARD, zone));
    EXPECT_EQ(60, localOffsetMinutes(TIME_ZONE_ID_UNKNOWN, zone));
    EXPECT_EQ(3599, localOffsetMinutes(TIME_ZONE_ID_INVALID, zone));
    zone.Bias = 300; // UTC-5
    zone.DaylightBias = -60;
    EXPECT_EQ(-240, localOffsetMinutes(TIME_ZONE_ID_DAYLIGHT, zone));
    EXPECT_EQ(-300, localOffsetMinutes(TIME_ZONE_ID_STANDARD, zone));
}

// Default name spaces share the common folder; any other gets an NS level of its own.
TEST(LogPaths, FolderByNameSpace) {
    EXPECT_EQ(L"C:\\ProgramData\\Orvanta\\NS\\clp\\Log\\Kelvara",
              logFolder(L"C:\\ProgramData", L"clp", L"Kelvara"));
    for (const wchar_t* common : {L"", L"default", L"ul_default", L"rds_default"}) {
        EXPECT_EQ(L"C:\\ProgramData\\Orvanta\\Log\\Kelvara",
                  logFolder(L"C:\\ProgramData", common, L"Kelvara"))
            << common;
    }
    EXPECT_EQ(L"R\\Orvanta\\NS\\Default\\Log\\P", logFolder(L"R", L"Default", L"P"));
}

// The current file and its two older generations beside it.
TEST(LogPaths, GenerationFileNames) {
    EXPECT_EQ(L"C:\\L\\install-kelvara-win32.log", generationFileName(L"C:\\L\\install-kelvara-win32", 0));
    EXPECT_EQ(L"C:\\L\\install-kelvara-win32.1.log", generationFileName(L"C:\\L\\install-kelvara-win32", 1));
    EXPECT_EQ(L"C:\\L\\install-kelvara-win32.2.log", generationFileName(L"C:\\L\\install-kelvara-win32", 2));
    EXPECT_EQ(L"C:\\L\\x.S-1-5-18.12.log", generationFileName(L"C:\\L\\x.S-1-5-18", 12));
}

// Every writer of one file derives the same lock name; the kernel name space prefix keeps its backslash.
TEST(LogPaths, LockNames) {
    const std::wstring base = L"C:\\ProgramData\\Orvanta\\NS\\clp\\Log\\Kelvara\\install-kelvara-win32";
    EXPECT_EQ(L"Global\\OvKmfLogging_C:_ProgramData_Orvanta_NS_clp_Log_Kelvara_install-kelvara-win32",
              lockNameFor(base, false));
    EXPECT_EQ(L"Local\\OvKmfLogging_C:_ProgramData_Orvanta_NS_clp_Log_Kelvara_install-kelvara-win32",
              lockNameFor(base, true));
    // A base path starting with a backslash: the low-integrity name replaces it too.
    EXPECT_EQ(L"Local\\OvKmfLogging__x", lockNameFor(L"\\x", true));
    EXPECT_EQ(L"Global\\OvKmfLogging__x", lockNameFor(L"\\x", false));
}
