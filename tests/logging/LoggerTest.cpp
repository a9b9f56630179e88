// The logger as callers see it: what reaches the log file, in which form, and what does not.
#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/Log.h>
#include <logging/LoggerWin.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using namespace OvKmfLogging;
using logtest::currentTestName;
using logtest::record;
using logtest::recordNarrow;

namespace {

const wchar_t kNameSpace[] = L"logtest";

std::string narrowTime(const SYSTEMTIME& t) {
    char text[32];
    snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return text;
}

// Each test logs into a product folder of its own and removes it afterwards.
class LoggerTest : public ::testing::Test {
protected:
    LoggerTest()
        : log(kNameSpace, currentTestName(), L"records"),
          sizeLimit(log.product + L"\\" + log.logName, L"LogMaxSizeKB"),
          logger(std::make_unique<LoggerWin>()) {
        sizeLimit.setDword(100000); // big records: no rotation in between
    }
    ~LoggerTest() override { logger.reset(); }

    void open(int level = Info, unsigned flags = 0) {
        logger->open(kNameSpace, log.product.c_str(), log.logName.c_str(), level, flags);
    }
    // Records carrying the marker, as the reader of the file sees them.
    std::vector<std::string> recordsWith(const std::string& marker) const {
        return logtest::linesWith(log.lines(), marker);
    }

    logtest::MachineLog log;
    logtest::LoggingValue sizeLimit;
    std::unique_ptr<LoggerWin> logger;
};

} // namespace

// A record in the file: local time, this process and thread, label, "function: ", text, CR LF.
TEST_F(LoggerTest, RecordInTheFileHasTheDocumentedForm) {
    open();
    SYSTEMTIME before;
    GetLocalTime(&before);
    record(*logger, Info, "MainLogic::execute", L"Installing %s, version %d", L"Kelvara", 7);
    SYSTEMTIME after;
    GetLocalTime(&after);
    logger->close();

    const std::string content = log.content();
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(4u, lines.size()) << content;
    EXPECT_EQ("", lines[0]); // the empty line ahead of each start banner
    const logtest::Record started = logtest::parseRecord(lines[1]);
    ASSERT_TRUE(started.valid) << lines[1];
    EXPECT_EQ(" I", started.label);
    EXPECT_EQ(0u, started.text.find("***  LOGGING STARTED  *** (UTC")) << started.text;
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    char sessionText[32];
    snprintf(sessionText, sizeof(sessionText), ", session: 0x%lx)", session);
    EXPECT_EQ(started.text.size() - strlen(sessionText), started.text.rfind(sessionText)) << started.text;

    const logtest::Record line = logtest::parseRecord(lines[2]);
    ASSERT_TRUE(line.valid) << lines[2];
    EXPECT_EQ(GetCurrentProcessId(), line.processId);
    EXPECT_EQ(GetCurrentThreadId(), line.threadId);
    EXPECT_EQ(" I", line.label);
    EXPECT_EQ("MainLogic::execute: Installing Kelvara, version 7", line.text);
    const std::string minute = line.date + " " + line.time.substr(0, 5);
    EXPECT_TRUE(minute == narrowTime(before) || minute == narrowTime(after)) << lines[2];
    EXPECT_EQ("***  LOGGING ENDED  ***", logtest::parseRecord(lines[3]).text);

    // Every line ends in CR LF, ids are at least four lower-case hex digits.
    EXPECT_EQ("\r\n", content.substr(0, 2));
    std::string::size_type lf = 0;
    while ((lf = content.find('\n', lf + 1)) != std::string::npos) {
        EXPECT_EQ('\r', content[lf - 1]);
    }
    char ids[32];
    snprintf(ids, sizeof(ids), " [%04lx.%04lx] ", GetCurrentProcessId(), GetCurrentThreadId());
    EXPECT_NE(std::string::npos, lines[2].find(ids)) << lines[2];
}

// Non-ASCII text reaches the file as UTF-8; wide formats take %s and %ls wide, %hs narrow. Percent
// signs in arguments (paths, command lines) are text, not formats.
TEST_F(LoggerTest, WideAndNarrowConversions) {
    open();
    record(*logger, Info, "f", L"run: %s", L"\"%ProgramFiles%\\x.exe\" %s %d");
    recordNarrow(*logger, Info, "g", "run: %s", "%hs 100%");
    record(*logger, Info, "f", L"[%s|%ls|%hs|%d|%x|%08x]", L"wide", L"also wide", "narrow", -5, 255, 0xbeef);
    record(*logger, Info, "f", L"text: %s", L"Gr\u00fc\u00dfe \u20ac \u65e5\u672c");
    recordNarrow(*logger, Info, "g", "[%s|%hs|%ls|%d]", "n1", "n2", L"w", 12);
    logger->close();
    const std::string content = log.content();
    EXPECT_NE(std::string::npos, content.find(" I: f: [wide|also wide|narrow|-5|ff|0000beef]\r\n"))
        << content;
    EXPECT_NE(std::string::npos, content.find(" I: f: text: Gr\xC3\xBC\xC3\x9F"
                                              "e \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC\r\n"))
        << content;
    EXPECT_NE(std::string::npos, content.find(" I: g: [n1|n2|w|12]\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find(" I: f: run: \"%ProgramFiles%\\x.exe\" %s %d\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find(" I: g: run: %hs 100%\r\n")) << content;
}

// The threshold decides: higher levels are dropped; a level outside 1 to 6 gets two blanks.
TEST_F(LoggerTest, LevelFilterAndLabels) {
    record(*logger, Fatal, "f", L"before open"); // the threshold is 0 until the log is opened
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
    open(Warning);
    for (int level = -1; level <= 7; ++level) {
        record(*logger, level, "f", L"level %d", level);
    }
    EXPECT_FALSE(logger->isEnabled(Info));
    EXPECT_TRUE(logger->isEnabled(Warning));
    logger->close();

    const std::vector<std::string> records = recordsWith(": f: level ");
    ASSERT_EQ(5u, records.size());
    EXPECT_EQ("  ", logtest::parseRecord(records[0]).label); // -1
    EXPECT_EQ("  ", logtest::parseRecord(records[1]).label); // 0
    EXPECT_EQ("*F", logtest::parseRecord(records[2]).label);
    EXPECT_EQ("*E", logtest::parseRecord(records[3]).label);
    EXPECT_EQ(".W", logtest::parseRecord(records[4]).label);
    EXPECT_TRUE(recordsWith("before open").empty());
    // Banners are Info records: filtered out at threshold 3.
    EXPECT_TRUE(recordsWith("LOGGING").empty());
}

// The function names callers pass are shortened as documented; no name gives no prefix.
TEST_F(LoggerTest, FunctionPrefixes) {
    open();
    record(*logger, Info, "`anonymous-namespace'::CreateShellLinkObject", L"anon");
    record(*logger, Info, "MainLogic::execute::<lambda_0badf00d>::operator ()", L"lambda");
    record(*logger, Info, "", L"empty");
    record(*logger, Info, nullptr, L"none");
    logger->close();
    const std::string content = log.content();
    EXPECT_NE(std::string::npos, content.find(" I: ::CreateShellLinkObject: anon\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find(" I: MainLogic::execute::<lambda>: lambda\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find("]  I: empty\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find("]  I: none\r\n")) << content;
}

// Messages grow from the small buffer to the large one; beyond 65,535 characters only the failure record.
TEST_F(LoggerTest, MessageSizes) {
    open();
    for (std::size_t size : {2047u, 2048u, 3000u, 65535u}) {
        record(*logger, Info, "wide", L"%s", std::wstring(size, L'w').c_str());
        recordNarrow(*logger, Info, "narrow", "%s", std::string(size, 'n').c_str());
    }
    record(*logger, Info, "wide", L"%s", std::wstring(65536, L'W').c_str());
    recordNarrow(*logger, Info, "narrow", "%hs", std::string(70000, 'N').c_str());
    logger->close();

    const std::vector<std::string> lines = log.lines();
    std::vector<std::size_t> wide;
    std::vector<std::size_t> narrow;
    for (const std::string& line : lines) {
        const logtest::Record r = logtest::parseRecord(line);
        if (r.text.compare(0, 6, "wide: ") == 0) {
            EXPECT_EQ(std::string::npos, r.text.find_first_not_of('w', 6));
            wide.push_back(r.text.size() - 6);
        } else if (r.text.compare(0, 8, "narrow: ") == 0) {
            EXPECT_EQ(std::string::npos, r.text.find_first_not_of('n', 8));
            narrow.push_back(r.text.size() - 8);
        }
    }
    const std::vector<std::size_t> expected{2047, 2048, 3000, 65535};
    EXPECT_EQ(expected, wide);
    EXPECT_EQ(expected, narrow);
    const std::vector<std::string> failures = logtest::linesWith(lines, "OV_KMF_LOG failure");
    ASSERT_EQ(2u, failures.size());
    EXPECT_EQ("*E", logtest::parseRecord(failures[0]).label);
    EXPECT_EQ("OV_KMF_LOG failure: too large message. Format: %s", logtest::parseRecord(failures[0]).text);
    EXPECT_EQ("OV_KMF_LOG failure: too large message. Format: %hs", logtest::parseRecord(failures[1]).text);
}

// The failure record obeys the threshold like any other.
TEST_F(LoggerTest, TooLargeRecordIsFilteredBelowError) {
    open(Fatal);
    record(*logger, Fatal, "f", L"%s", std::wstring(70000, L'x').c_str());
    logger->close();
    EXPECT_TRUE(recordsWith("too large").empty());
}

// Callers log a failure and read GetLastError afterwards: no logging call may change it.
TEST_F(LoggerTest, LastErrorIsKept) {
    SetLastError(1234);
    open();
    EXPECT_EQ(1234u, GetLastError());
    SetLastError(5);
    record(*logger, Info, "f", L"written");
    EXPECT_EQ(5u, GetLastError());
    SetLastError(6);
    record(*logger, Verbose, "f", L"filtered");
    EXPECT_EQ(6u, GetLastError());
    SetLastError(87);
    record(*logger, Info, "f", L"%s", std::wstring(70000, L'x').c_str());
    EXPECT_EQ(87u, GetLastError());
    SetLastError(2);
    recordNarrow(*logger, Info, "f", "narrow %d", 1);
    EXPECT_EQ(2u, GetLastError());
    SetLastError(3);
    logger->flush();
    EXPECT_EQ(3u, GetLastError());
    SetLastError(1223);
    logger->close();
    EXPECT_EQ(1223u, GetLastError());
    SetLastError(1460);
    logger.reset();
    EXPECT_EQ(1460u, GetLastError());
    EXPECT_EQ(1u, recordsWith("f: written").size());
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
                record(*logger, Info, "worker", L"t%d i%d %s|", t, i, padding.c_str());
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    logger->close();

    std::set<std::string> seen;
    for (const std::string& line : recordsWith("worker: ")) {
        const logtest::Record r = logtest::parseRecord(line);
        ASSERT_TRUE(r.valid) << line;
        int t = -1;
        int i = -1;
        ASSERT_EQ(2, sscanf(r.text.c_str(), "worker: t%d i%d", &t, &i)) << line;
        const std::string expected = "worker: t" + std::to_string(t) + " i" + std::to_string(i) + " " +
                                     std::string(100, char('a' + t)) + "|";
        EXPECT_EQ(expected, r.text);
        EXPECT_TRUE(seen.insert(r.text).second) << "twice: " << line;
    }
    EXPECT_EQ(static_cast<std::size_t>(threads * perThread), seen.size());
}

// A second open keeps the first file; close then open starts the file anew with a banner.
TEST_F(LoggerTest, OpenTwiceThenCloseAndReopen) {
    logtest::MachineLog other(kNameSpace, log.product + L".other", L"records");
    open();
    logger->open(kNameSpace, other.product.c_str(), other.logName.c_str(), Info, 0);
    record(*logger, Info, "f", L"first session");
    logger->close();
    record(*logger, Info, "f", L"while closed");
    open();
    record(*logger, Info, "f", L"second session");
    logger->close();

    EXPECT_FALSE(ovtest::fileExists(other.folder()));
    const std::vector<std::string> lines = log.lines();
    EXPECT_EQ(2u, logtest::linesWith(lines, "***  LOGGING STARTED  ***").size());
    EXPECT_EQ(2u, logtest::linesWith(lines, "***  LOGGING ENDED  ***").size());
    EXPECT_EQ(1u, logtest::linesWith(lines, "f: first session").size());
    EXPECT_EQ(1u, logtest::linesWith(lines, "f: second session").size());
    EXPECT_TRUE(logtest::linesWith(lines, "while closed").empty());
    // Order: banner, record, end; then the same again.
    ASSERT_EQ(8u, lines.size());
    EXPECT_NE(std::string::npos, lines[2].find("first session"));
    EXPECT_NE(std::string::npos, lines[6].find("second session"));
}

// Destroying an open logger (process exit) writes the auto-closed banner.
TEST_F(LoggerTest, DestructionWritesAutoClosedBanner) {
    open();
    record(*logger, Info, "f", L"last words");
    logger.reset();
    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("***  LOG AUTO-CLOSED ***", logtest::parseRecord(lines.back()).text);
}

// UTC timestamps: record times follow the system clock, the banner names the local offset.
TEST_F(LoggerTest, UtcTimestamps) {
    open(Info, UtcTimestamps);
    SYSTEMTIME before;
    GetSystemTime(&before);
    record(*logger, Info, "f", L"utc");
    SYSTEMTIME after;
    GetSystemTime(&after);
    logger->close();
    const std::vector<std::string> started = recordsWith("LOGGING STARTED");
    ASSERT_EQ(1u, started.size());
    EXPECT_NE(std::string::npos, started[0].find("***  LOGGING STARTED  *** (UTC+00:00, local:"))
        << started[0];
    const std::vector<std::string> records = recordsWith("f: utc");
    ASSERT_EQ(1u, records.size());
    const logtest::Record r = logtest::parseRecord(records[0]);
    const std::string minute = r.date + " " + r.time.substr(0, 5);
    EXPECT_TRUE(minute == narrowTime(before) || minute == narrowTime(after)) << records[0];
}

// Banners at Debug: hidden at threshold Info, labelled " D" at threshold Debug.
TEST_F(LoggerTest, BannersAtDebug) {
    open(Info, BannersAtDebug);
    record(*logger, Info, "f", L"info");
    logger->close();
    EXPECT_TRUE(recordsWith("LOGGING").empty());
    open(Debug, BannersAtDebug);
    logger->close();
    const std::vector<std::string> banners = recordsWith("LOGGING");
    ASSERT_EQ(2u, banners.size());
    EXPECT_EQ(" D", logtest::parseRecord(banners[0]).label);
    EXPECT_EQ(" D", logtest::parseRecord(banners[1]).label);
}

// Log-everything opens without touching disk or registry; the first record sets the log up, and
// that work leaves the caller's last-error code alone.
TEST_F(LoggerTest, LogEverythingSetsUpAtTheFirstRecord) {
    open(Info, LogEverything);
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
    SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
    record(*logger, Info, "f", L"first");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    logger->close();
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(4u, lines.size());
    EXPECT_NE(std::string::npos, lines[1].find("***  LOGGING STARTED  ***"));
    EXPECT_NE(std::string::npos, lines[2].find("f: first"));
}

// The process-wide log through the free functions and the log call of every caller.
TEST(ProcessWideLog, OpenWriteClose) {
    logtest::MachineLog log(kNameSpace, L"ProcessWideLog", L"free-functions");
    EXPECT_FALSE(OvKmfLogging::isEnabled(Info));
    OvKmfLogging::open(kNameSpace, log.product.c_str(), log.logName.c_str(), Info, 0);
    EXPECT_TRUE(OvKmfLogging::isEnabled(Info));
    OV_KMF_LOG(Info, L"macro %s %hs", L"wide", "narrow");
    OvKmfLogging::write(Warning, L"no function %d", 1);
    OvKmfLogging::write(Error, "ProcessWideLog::narrow", "narrow %s", "text");
    OvKmfLogging::flush();
    OvKmfLogging::close();
    const std::string content = log.content();
    EXPECT_NE(std::string::npos,
              content.find(" I: ProcessWideLog_OpenWriteClose_Test::TestBody: macro wide narrow\r\n"))
        << content;
    EXPECT_NE(std::string::npos, content.find("] .W: no function 1\r\n")) << content;
    EXPECT_NE(std::string::npos, content.find("] *E: ProcessWideLog::narrow: narrow text\r\n")) << content;
    EXPECT_EQ(&instance(), &instance());
}

// The start banner names the process's offset from UTC as hours and signed minutes, or, with UTC
// timestamps, the local offset beside UTC+00:00. Wine takes the zone from the Unix TZ of the
// process, so CTest runs this with a fixed zone and the expected offset (see CMakeLists.txt).
TEST(StartBanner, NamesTheLocalOffset) {
    wchar_t expected[16] = {};
    if (GetEnvironmentVariableW(L"OV_EXPECT_UTC_OFFSET", expected, 16) == 0) {
        GTEST_SKIP() << "needs a fixed time zone";
    }
    const std::string offset = ovtest::toUtf8(expected);
    logtest::MachineLog log(kNameSpace, L"StartBanner." + std::wstring(expected), L"tz");
    for (unsigned flags : {0u, static_cast<unsigned>(UtcTimestamps)}) {
        LoggerWin logger;
        logger.open(kNameSpace, log.product.c_str(), log.logName.c_str(), Info, flags);
        logger.close();
    }
    const std::vector<std::string> banners = logtest::linesWith(log.lines(), "LOGGING STARTED");
    ASSERT_EQ(2u, banners.size());
    EXPECT_EQ(0u, logtest::parseRecord(banners[0])
                      .text.find("***  LOGGING STARTED  *** (UTC" + offset + ", session: 0x"))
        << banners[0];
    EXPECT_EQ(0u, logtest::parseRecord(banners[1])
                      .text.find("***  LOGGING STARTED  *** (UTC+00:00, local:" + offset + ", session: 0x"))
        << banners[1];
}

namespace {

// Runs a command under this process as its debugger and collects its debug output strings.
std::vector<std::string> debugOutputOf(std::wstring commandLine) {
    std::vector<std::string> strings;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        nullptr, &startup, &process)) {
        return strings;
    }
    for (bool running = true; running;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, 60000)) {
            TerminateProcess(process.hProcess, 1);
            break;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T read = 0;
            if (!info.fUnicode &&
                ReadProcessMemory(process.hProcess, info.lpDebugStringData, &text[0], text.size(), &read)) {
                text.resize(read);
                strings.push_back(text.c_str());
            }
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            running = false;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return strings;
}

} // namespace

// "DebugOutputLogging" mirrors every record, whole, to a debugger; without it nothing is mirrored.
TEST(DebugOutput, RecordsReachTheDebuggerWhenConfigured) {
    logtest::MachineLog log(kNameSpace, L"DebugOutput.Mirror", L"dbg");
    const std::wstring command = ovtest::quote(logtest::writerExe()) + L" write logtest " +
                                 ovtest::quote(log.product) + L" dbg 2 mirrored";
    EXPECT_TRUE(logtest::linesWith(debugOutputOf(command), "mirrored record").empty());

    logtest::LoggingValue debug(log.product, L"DebugOutputLogging");
    debug.setDword(1);
    const std::vector<std::string> strings = debugOutputOf(command);
    const std::vector<std::string> records = logtest::linesWith(strings, "::writeRecords: mirrored record");
    ASSERT_EQ(2u, records.size());
    EXPECT_TRUE(logtest::parseRecord(records[0]).valid) << records[0];
    EXPECT_EQ("\r\n", records[0].substr(records[0].size() - 2));
    EXPECT_EQ(1u, logtest::linesWith(strings, "LOGGING ENDED").size());
    // The file gets the same records.
    EXPECT_EQ(4u, logtest::linesWith(log.lines(), "::writeRecords: mirrored record").size());
}
