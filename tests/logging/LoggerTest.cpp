// The logger as callers see it: what reaches the log file, in which form, and what does not.
#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/Log.h>
#include <logging/LoggerWin.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <utility>
#include <vector>

using namespace OvKmfLogging;
using logtest::kNameSpace;

namespace {

// The clock a record takes its time from, in the record's own form.
std::string now(bool utc) {
    SYSTEMTIME t;
    utc ? GetSystemTime(&t) : GetLocalTime(&t);
    char text[32];
    snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.wYear, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

// Each test logs into a product folder of its own, with a size limit no test reaches.
class LoggerTest : public ::testing::Test {
protected:
    LoggerTest()
        : log(logtest::testProduct(), L"records"), sizeLimit(log.product + L"\\records", L"LogMaxSizeKB") {
        sizeLimit.setDword(100000);
    }

    void open(int level = Info, unsigned flags = 0) {
        logger->open(kNameSpace, log.product.c_str(), log.logName.c_str(), level, flags);
    }
    std::vector<std::string> recordsWith(const std::string& marker) const {
        return logtest::linesWith(log.lines(), marker);
    }

    logtest::MachineLog log;
    logtest::LoggingValue sizeLimit;
    std::unique_ptr<LoggerWin> logger = std::make_unique<LoggerWin>();
};

} // namespace

// A run in the file: an empty line, the start banner naming the offset from UTC and the session,
// the records as time (local, or UTC with the flag), ids in lower-case hex, label, "function: ",
// text, and the end banner; every line ends in CR LF. CTest runs this also in fixed time zones
// with the offset to expect (see CMakeLists.txt).
TEST_F(LoggerTest, RecordsAndBannersInTheFile) {
    wchar_t offset[16] = {};
    GetEnvironmentVariableW(L"OV_EXPECT_UTC_OFFSET", offset, 16);
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    char head[32];
    snprintf(head, sizeof(head), " [%04lx.%04lx]  I: ", GetCurrentProcessId(), GetCurrentThreadId());
    char sessionEnd[32];
    snprintf(sessionEnd, sizeof(sessionEnd), ", session: 0x%lx)", session);
    for (const bool utc : {false, true}) {
        SCOPED_TRACE(utc ? "UTC" : "local time");
        const std::string before = now(utc);
        open(Info, utc ? UtcTimestamps : 0u);
        logger->log(Info, L"Installing %s, version %d", L"Kelvara", 7);
        logger->close();
        const std::string after = now(utc);
        const std::string content = log.content();
        ASSERT_TRUE(DeleteFileW(log.file().c_str()));

        std::vector<std::string> lines; // without their time stamps, which are checked here
        std::string::size_type at = 0;
        for (std::string::size_type end; (end = content.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            std::string line = content.substr(at, end - at);
            if (!line.empty()) {
                EXPECT_TRUE(before <= line.substr(0, 23) && line.substr(0, 23) <= after) << line;
                line.erase(0, 23);
            }
            lines.push_back(line);
        }
        EXPECT_EQ(content.size(), at) << content;
        ASSERT_EQ(4u, lines.size()) << content;
        EXPECT_EQ("", lines[0]);
        const std::string banner =
            head + std::string("***  LOGGING STARTED  *** (UTC") + (utc ? "+00:00, local:" : "");
        EXPECT_EQ(0u, lines[1].find(banner + ovtest::toUtf8(offset))) << lines[1];
        EXPECT_EQ(lines[1].size() - std::strlen(sessionEnd), lines[1].rfind(sessionEnd)) << lines[1];
        EXPECT_EQ(head + std::string("Installing Kelvara, version 7"), lines[2]);
        EXPECT_EQ(head + std::string("***  LOGGING ENDED  ***"), lines[3]);
    }
}

// Nothing is written before open. A "LogLevel" under the log's key replaces the level given to
// open; higher levels are dropped (banners are Info records), a level outside 1 to 6 gets two blanks.
TEST_F(LoggerTest, LevelFilterAndLabels) {
    logger->log(Fatal, L"before open");
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
    logtest::LoggingValue configured(log.product + L"\\records", L"LogLevel");
    configured.setDword(Warning);
    open(Verbose);
    for (int level = -1; level <= 7; ++level) {
        logger->log(level, L"level %d", level);
    }
    logger->close();
    EXPECT_EQ((std::vector<std::string>{"  : level -1", "  : level 0", "*F: level 1", "*E: level 2",
                                        ".W: level 3"}),
              log.fromLabels());
}

// Messages grow from the small buffer to the large one; beyond 65,535 characters only an error
// record naming the format is written.
TEST_F(LoggerTest, MessageSizes) {
    open();
    std::vector<std::string> expected{"", " I: ***  LOGGING STARTED  ***"};
    for (std::size_t size : {2047u, 2048u, 3000u, 65535u}) {
        logger->log(Info, L"%s", std::wstring(size, L'w').c_str());
        logger->log(Info, "%s", std::string(size, 'n').c_str());
        expected.push_back(" I: " + std::string(size, 'w'));
        expected.push_back(" I: " + std::string(size, 'n'));
    }
    logger->log(Info, L"%s", std::wstring(65536, L'W').c_str());
    logger->log(Info, "%s", std::string(70000, 'N').c_str());
    expected.push_back("*E: OV_KMF_LOG failure: too large message. Format: %s");
    expected.push_back("*E: OV_KMF_LOG failure: too large message. Format: %s");
    expected.push_back(" I: ***  LOGGING ENDED  ***");
    logger->close();
    const std::vector<std::string> written = log.fromLabels();
    EXPECT_TRUE(written == expected) << written.size() << " lines";
}

// Callers log a failure and read GetLastError afterwards: no logging call may change it, also
// not the first record after an open with LogEverything, which sets the log up.
TEST_F(LoggerTest, LastErrorIsKept) {
    const std::wstring tooLarge(70000, L'x');
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"open", [&] { open(); }},
        {"record", [&] { logger->log(Info, L"written"); }},
        {"filtered", [&] { logger->log(Verbose, L"filtered"); }},
        {"too large", [&] { logger->log(Info, L"%s", tooLarge.c_str()); }},
        {"narrow", [&] { logger->log(Info, "narrow %d", 1); }},
        {"flush", [&] { logger->flush(); }},
        {"close", [&] { logger->close(); }},
        {"open, log everything", [&] { open(Info, LogEverything); }},
        {"first record", [&] { logger->log(Info, L"set up"); }},
        {"destruction", [&] { logger.reset(); }},
    };
    DWORD code = ERROR_SERVICE_MARKED_FOR_DELETE;
    for (const auto& step : steps) {
        SetLastError(++code);
        step.second();
        EXPECT_EQ(code, GetLastError()) << step.first;
    }
    EXPECT_EQ(1u, recordsWith(" I: written").size());
    EXPECT_EQ(1u, recordsWith(" I: set up").size());
}

// Records of concurrent threads stay whole lines, each exactly once.
TEST_F(LoggerTest, ThreadsNeverInterleaveWithinALine) {
    open();
    const int threads = 4;
    const int perThread = 250;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([this, t] {
            const std::wstring padding(100, static_cast<wchar_t>(L'a' + t));
            for (int i = 0; i < perThread; ++i) {
                logger->log(Info, L"worker t%d i%d %s|", t, i, padding.c_str());
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    logger->close();
    std::set<std::string> seen;
    const std::vector<std::string> lines = log.lines();
    EXPECT_EQ(static_cast<std::size_t>(threads * perThread + 3), lines.size());
    for (const std::string& line : logtest::linesWith(lines, "worker t")) {
        const logtest::Record r = logtest::parseRecord(line);
        int t = -1;
        int i = -1;
        ASSERT_TRUE(r.valid && sscanf(r.text.c_str(), "worker t%d i%d", &t, &i) == 2) << line;
        EXPECT_EQ("worker t" + std::to_string(t) + " i" + std::to_string(i) + " " +
                      std::string(100, char('a' + t)) + "|",
                  r.text);
        EXPECT_TRUE(seen.insert(r.text).second) << "twice: " << line;
    }
    EXPECT_EQ(static_cast<std::size_t>(threads * perThread), seen.size());
}

// A second open keeps the first file; nothing is written while closed; a new open starts again
// with an empty line and a banner; destruction (process exit) writes the auto-closed banner.
// With LogEverything open touches nothing and the first record sets the log up; with
// BannersAtDebug the banners are Debug records.
TEST_F(LoggerTest, SessionsAndBanners) {
    logtest::MachineLog other(log.product + L".other", L"records");
    open(Info, LogEverything);
    logger->open(kNameSpace, other.product.c_str(), other.logName.c_str(), Info, 0);
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
    logger->log(Info, L"first session");
    logger->close();
    logger->log(Info, L"while closed");
    open(Debug, BannersAtDebug);
    logger->log(Info, L"second session");
    logger.reset();
    EXPECT_FALSE(ovtest::fileExists(other.folder()));
    EXPECT_EQ((std::vector<std::string>{"", " I: ***  LOGGING STARTED  ***", " I: first session",
                                        " I: ***  LOGGING ENDED  ***", "", " D: ***  LOGGING STARTED  ***",
                                        " I: second session", " D: ***  LOG AUTO-CLOSED ***"}),
              log.fromLabels());
}

// The log call and the free functions of the process-wide log: non-ASCII text reaches the file
// as UTF-8, wide formats take %s and %ls wide and %hs narrow, percent signs in arguments
// (paths, command lines) are text, not formats, and a format is never taken for a function name.
TEST(ProcessWideLog, ConversionsAndTheLogCall) {
    logtest::MachineLog log(logtest::testProduct(), L"free-functions");
    EXPECT_FALSE(OvKmfLogging::isEnabled(Info));
    OvKmfLogging::open(kNameSpace, log.product.c_str(), log.logName.c_str(), Info, 0);
    EXPECT_TRUE(OvKmfLogging::isEnabled(Info));
    OV_KMF_LOG(Info, L"[%s|%ls|%hs|%d|%x|%08x]", L"wide", L"also wide", "narrow", -5, 255, 0xbeef);
    OvKmfLogging::write(Warning, L"run: %s", L"\"%ProgramFiles%\\x.exe\" %s %d");
    OV_KMF_LOG_AS(Error, "f", L"text: %s", L"Gr\u00fc\u00dfe \u20ac \u65e5\u672c");
    OV_KMF_LOG_AS(Info, "g", "[%s|%ls|%d]", "n1", L"w", 12);
    OvKmfLogging::write(Info, "run: %s", "%hs 100%");
    OvKmfLogging::close();
    const std::string content = log.content();
    for (const char* expected : {"]  I: ProcessWideLog_ConversionsAndTheLogCall_Test::TestBody: "
                                 "[wide|also wide|narrow|-5|ff|0000beef]\r\n",
                                 "] .W: run: \"%ProgramFiles%\\x.exe\" %s %d\r\n",
                                 "] *E: f: text: Gr\xC3\xBC\xC3\x9F"
                                 "e \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC\r\n",
                                 "]  I: g: [n1|w|12]\r\n", "]  I: run: %hs 100%\r\n"}) {
        EXPECT_NE(std::string::npos, content.find(expected)) << expected << "\n" << content;
    }
}
