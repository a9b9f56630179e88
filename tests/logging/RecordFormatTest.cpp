// Record and banner texts the runs of the installer never show: other ids and levels, and the
// offsets of other time zones. Checked without any I/O.
#include <logging/RecordFormat.h>

#include <gtest/gtest.h>

using namespace OvKmfLogging;

// Readers sort and filter on the exact start of a record: zero-padded time, ids as at least four
// lower-case hex digits, the level's label, then the function as the prefix rules shorten it.
TEST(RecordFormat, RecordStart) {
    const SYSTEMTIME time = {2026, 1, 0, 4, 5, 6, 7, 8};
    const auto start = [&](int level, unsigned long id, const char* function) {
        return recordStart(time, id, 0xabcdef01, labelOfLevel(level), function, 0);
    };
    EXPECT_EQ("2026-01-04 05:06:07.008 [1a2c.abcdef01] *F: MainLogic::execute: ",
              start(1, 0x1a2c, "MainLogic::execute"));
    EXPECT_EQ("2026-01-04 05:06:07.008 [0000.abcdef01] .W: ", start(3, 0, nullptr));
    EXPECT_EQ("2026-01-04 05:06:07.008 [0001.abcdef01]   : ::f::<lambda>: ",
              start(7, 1, "`anonymous-namespace'::f::<lambda_1>::operator ()"));
}

// The banner names the local offset as signed hours and minutes (the daylight bias only in
// daylight time; a failed zone query shows +59:59), with UTC times the local offset beside UTC.
TEST(RecordFormat, StartBannerOffset) {
    struct Row {
        DWORD zoneResult;
        LONG bias;
        bool utc;
        const char* expected; // after "***  LOGGING STARTED  *** "
    } const rows[] = {
        {TIME_ZONE_ID_DAYLIGHT, -60, false, "(UTC+2:00, session: 0x2a)"},
        {TIME_ZONE_ID_STANDARD, -330, false, "(UTC+5:30, session: 0x2a)"},
        {TIME_ZONE_ID_STANDARD, 210, false, "(UTC-3:-30, session: 0x2a)"},
        {TIME_ZONE_ID_INVALID, 0, false, "(UTC+59:59, session: 0x2a)"},
        {TIME_ZONE_ID_STANDARD, 300, true, "(UTC+00:00, local:-5:00, session: 0x2a)"},
    };
    for (const Row& row : rows) {
        TIME_ZONE_INFORMATION zone = {};
        zone.Bias = row.bias;
        zone.DaylightBias = -60;
        EXPECT_EQ(std::string("***  LOGGING STARTED  *** ") + row.expected,
                  startBannerText(localOffsetMinutes(row.zoneResult, zone), 0x2a, row.utc));
    }
}

// A line break inside a value never starts a line of its own: it is written as "\r" or "\n".
TEST(RecordFormat, LineBreaksEscaped) {
    const struct {
        const char* message;
        const char* written;
    } rows[] = {{"plain", "plain"}, {"a\r\nb\n", "a\\r\\nb\\n"}, {"\r", "\\r"}};
    for (const auto& row : rows) {
        std::string record = std::string("f: \n ") + row.message;
        escapeLineBreaks(record, 5);
        EXPECT_EQ(std::string("f: \n ") + row.written, record);
    }
}
