// The text of records and of the start banner, checked without any I/O.
#include <logging/RecordFormat.h>

#include <gtest/gtest.h>

using namespace OvKmfLogging;

// Readers sort and filter on the exact start of a record: zero-padded time, ids as at least four
// lower-case hex digits, the level's label, then the function as the prefix rules shorten it.
TEST(RecordFormat, RecordStart) {
    struct Row {
        int level;
        unsigned long processId, threadId;
        const char* function;
        const char* expected; // after the time
    };
    const Row rows[] = {
        {1, 0x1a2c, 0xf04, "MainLogic::execute", "[1a2c.0f04] *F: MainLogic::execute: "},
        {2, 0x12345678, 0xabcdef01, nullptr, "[12345678.abcdef01] *E: "},
        {3, 0, 1, "", "[0000.0001] .W: "},
        {4, 0x10000, 2, "WinMain", "[10000.0002]  I: WinMain: "},
        {5, 1, 1, "`anonymous-namespace'::CreateShellLinkObject",
         "[0001.0001]  D: ::CreateShellLinkObject: "},
        {6, 1, 1, "`anonymous-namespace'", "[0001.0001]  V: : "},
        {0, 1, 1, "MainLogic::execute::<lambda_8f3a21c0b7>::operator ()",
         "[0001.0001]   : MainLogic::execute::<lambda>: "},
        {7, 1, 1, "`anonymous-namespace'::f::<lambda_1>::operator ()", "[0001.0001]   : ::f::<lambda>: "},
        // Only a call operator's name (ending in "()") is shortened; the marker only counts at the start.
        {-1, 1, 1, "A::<lambda_1>::x", "[0001.0001]   : A::<lambda_1>::x: "},
        {4, 1, 1, "g()", "[0001.0001]  I: g(): "},
        {4, 1, 1, "A::`anonymous-namespace'::f", "[0001.0001]  I: A::`anonymous-namespace'::f: "},
    };
    const SYSTEMTIME time = {2026, 1, 0, 4, 5, 6, 7, 8};
    for (const Row& row : rows) {
        EXPECT_EQ(std::string("2026-01-04 05:06:07.008 ") + row.expected,
                  recordStart(time, row.processId, row.threadId, labelOfLevel(row.level), row.function, 0));
    }
}

// The banner names the local offset as signed hours and minutes (the daylight bias only in
// daylight time; a failed zone query shows +59:59), with UTC times the local offset beside UTC.
TEST(RecordFormat, StartBannerOffset) {
    struct Row {
        DWORD zoneResult;
        LONG bias;
        unsigned long session;
        bool utc;
        const char* expected; // after "***  LOGGING STARTED  *** "
    };
    const Row rows[] = {
        {TIME_ZONE_ID_STANDARD, -60, 1, false, "(UTC+1:00, session: 0x1)"},
        {TIME_ZONE_ID_DAYLIGHT, -60, 0x2a, false, "(UTC+2:00, session: 0x2a)"},
        {TIME_ZONE_ID_UNKNOWN, 300, 0, false, "(UTC-5:00, session: 0x0)"},
        {TIME_ZONE_ID_DAYLIGHT, 300, 0, false, "(UTC-4:00, session: 0x0)"},
        {TIME_ZONE_ID_STANDARD, -330, 1, false, "(UTC+5:30, session: 0x1)"},
        {TIME_ZONE_ID_STANDARD, 210, 1, false, "(UTC-3:-30, session: 0x1)"},
        {TIME_ZONE_ID_STANDARD, 0, 1, false, "(UTC+0:00, session: 0x1)"},
        {TIME_ZONE_ID_INVALID, 0, 0xdeadbeef, false, "(UTC+59:59, session: 0xdeadbeef)"},
        {TIME_ZONE_ID_STANDARD, -330, 1, true, "(UTC+00:00, local:+5:30, session: 0x1)"},
        {TIME_ZONE_ID_STANDARD, 300, 1, true, "(UTC+00:00, local:-5:00, session: 0x1)"},
    };
    for (const Row& row : rows) {
        TIME_ZONE_INFORMATION zone = {};
        zone.Bias = row.bias;
        zone.DaylightBias = -60;
        EXPECT_EQ(std::string("***  LOGGING STARTED  *** ") + row.expected,
                  startBannerText(localOffsetMinutes(row.zoneResult, zone), row.session, row.utc));
    }
}
