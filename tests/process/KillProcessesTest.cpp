// Taking down running product processes: the quit request, the waits, the termination, the
// folder restriction, and the privilege adjustment of the first call.
#include "ProcessLog.h"
#include "StandIns.h"
#include "TestSupport.h"

#include <install-common/ExecuteApplication.h>
#include <ov/Win32.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using ::testing::Contains;
using ::testing::Not;

namespace {

const char* const kKill = "ExecuteApplication::killProcessesByName: ";

std::string debug(const std::string& message) {
    return std::string(" D: ") + kKill + message;
}

std::string terminating(unsigned long id, const std::string& exe) {
    return std::string(" I: ") + kKill + "Terminating process: " + std::to_string(id) + ". exe: " + exe;
}

size_t countOf(const std::vector<std::string>& records, const std::string& record) {
    return static_cast<size_t>(std::count(records.begin(), records.end(), record));
}

// The records in the given order, other records in between allowed.
::testing::AssertionResult inOrder(const std::vector<std::string>& records,
                                   const std::vector<std::string>& wanted) {
    auto at = records.begin();
    for (const std::string& record : wanted) {
        at = std::find(at, records.end(), record);
        if (at == records.end()) {
            return ::testing::AssertionFailure() << "missing in order: " << record;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

class KillProcessesTest : public ::testing::Test {
protected:
    KillProcessesTest() : log_(ovtest::processTestLog()), mark_(log_.mark()) {}

    std::vector<std::string> records() const { return log_.recordsSince(mark_); }

    // Starts a stand-in copy placed in folder and waits until its journal shows it is ready.
    std::unique_ptr<ovtest::StartedProcess> start(const std::wstring& folder, const std::wstring& exe,
                                                  const std::string& settings, const std::string& readyLine) {
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring path = ovtest::placeStandIn(folder, exe, settings);
        auto process = std::make_unique<ovtest::StartedProcess>(path);
        EXPECT_TRUE(process->valid());
        EXPECT_TRUE(ovtest::waitForJournalLine(path, readyLine)) << ovtest::toUtf8(path);
        return process;
    }

    ovtest::TempDir dir_{L"kill"};
    ovtest::TestLog& log_;
    std::uint64_t mark_;
};

// A client that quits on WM_QUIT ends within the wait (result 0) and is terminated anyway.
TEST_F(KillProcessesTest, ClientThatQuitsIsWaitedForAndTerminated) {
    auto client = start(dir_.path(), L"Kelvara.exe", "on_quit=exit\n", "window");

    ExecuteApplication::killProcessesByName(L"Kelvara.exe", 4000, dir_.path().c_str());

    EXPECT_EQ(0u, client->exitCode());
    EXPECT_THAT(ovtest::journalOf(dir_ / L"Kelvara.exe"), Contains("exit"));
    const auto all = records();
    EXPECT_TRUE(
        inOrder(all, {debug("Found matching PROCESS NAME:  Kelvara.exe"),
                      " D: ExecuteApplication::enum_windows_callback: Found window with process id: " +
                          std::to_string(client->id()),
                      " D: ExecuteApplication::sendQuitCommandToProcess: PostMessage returned: 1, LE: 0",
                      debug("Waiting 4000 ms"), debug("Finished waiting with result 0"),
                      terminating(client->id(), "Kelvara.exe"), debug("Done killing process")}));
    EXPECT_EQ(1u, countOf(all, debug("Waiting 4000 ms")));
}

// A client that ignores WM_QUIT is terminated after the time-out; no second request follows.
TEST_F(KillProcessesTest, ClientThatIgnoresQuitIsTerminatedAfterTimeout) {
    auto client = start(dir_.path(), L"Kelvara.exe", "on_quit=ignore\n", "window");

    ExecuteApplication::killProcessesByName(L"Kelvara.exe", 500, dir_.path().c_str());

    EXPECT_EQ(0u, client->exitCode()); // the code TerminateProcess gives
    const auto journal = ovtest::journalOf(dir_ / L"Kelvara.exe");
    EXPECT_THAT(journal, Contains("quit received"));
    EXPECT_THAT(journal, Not(Contains("exit")));
    const auto all = records();
    EXPECT_TRUE(inOrder(all, {debug("Waiting 500 ms"), debug("Finished waiting with result 258"),
                              terminating(client->id(), "Kelvara.exe")}));
    EXPECT_EQ(1u, countOf(all, debug("Waiting 500 ms")));
}

// A process without windows: one wait, a second request that finds nothing, no second wait.
TEST_F(KillProcessesTest, WindowlessProcessIsTerminatedWithoutSecondWait) {
    auto tunnel = start(dir_.path(), L"openvpn.exe", "", "started");

    ExecuteApplication::killProcessesByName(L"openvpn.exe", 300, dir_.path().c_str());

    EXPECT_EQ(0u, tunnel->exitCode());
    const auto all = records();
    EXPECT_TRUE(inOrder(all, {debug("Found matching PROCESS NAME:  openvpn.exe"), debug("Waiting 300 ms"),
                              debug("Finished waiting with result 258"),
                              terminating(tunnel->id(), "openvpn.exe"), debug("Done killing process")}));
    EXPECT_EQ(1u, countOf(all, debug("Waiting 300 ms")));
    EXPECT_THAT(all, Not(Contains(::testing::HasSubstr("Found window with process id"))));
}

// The folder is found anywhere in the path, ASCII letters without case: sibling folders that
// begin with its last component and deeper folders match; another folder's copy keeps running.
TEST_F(KillProcessesTest, FolderRestrictionIsAnAsciiCaseInsensitiveSubstring) {
    auto inFolder = start(dir_ / L"Product", L"openvpn.exe", "", "started");
    auto inSibling = start(dir_ / L"ProductOld", L"openvpn.exe", "", "started");
    auto inDeeper = start(dir_ / L"Product\\bin", L"openvpn.exe", "", "started");
    auto elsewhere = start(dir_ / L"Other", L"openvpn.exe", "", "started");

    // Only the ASCII letters of the folder and of the name differ in case.
    std::wstring folder = dir_ / L"PRODUCT";
    ExecuteApplication::killProcessesByName(L"OpenVPN.EXE", 100, folder.c_str());

    EXPECT_FALSE(inFolder->running());
    EXPECT_FALSE(inSibling->running());
    EXPECT_FALSE(inDeeper->running());
    EXPECT_TRUE(elsewhere->running());
    const auto all = records();
    EXPECT_THAT(all, Contains(" D: ExecuteApplication::processCanBeTerminated: Found candidate in path: " +
                              ovtest::toUtf8(dir_ / L"Other\\openvpn.exe")));
    EXPECT_THAT(all, Not(Contains(terminating(elsewhere->id(), "openvpn.exe"))));
}

// Letters outside ASCII are compared as they are: "Ä" and "ä" differ, so no match.
TEST_F(KillProcessesTest, NonAsciiLettersAreNotFolded) {
    auto process = start(dir_ / L"\u00C4rger", L"openvpn.exe", "", "started");

    const std::wstring lowerUmlaut = dir_ / L"\u00E4rger";
    ExecuteApplication::killProcessesByName(L"openvpn.exe", 100, lowerUmlaut.c_str());
    EXPECT_TRUE(process->running());

    const std::wstring upperRest = dir_ / L"\u00C4RGER";
    ExecuteApplication::killProcessesByName(L"openvpn.exe", 100, upperRest.c_str());
    EXPECT_FALSE(process->running());
}

// The privilege is adjusted at the first call only; a call that finds nothing writes only the
// per-process records and the closing one.
TEST_F(KillProcessesTest, PrivilegeRecordsOnlyOnFirstCall) {
    ExecuteApplication::killProcessesByName(L"no-such-program.exe", 100, nullptr);
    const std::uint64_t second = log_.mark();
    ExecuteApplication::killProcessesByName(L"no-such-program.exe", 100, nullptr);

    // The whole log of this run: whichever test called first, the adjustment is logged once.
    const auto all = log_.recordsSince(0);
    EXPECT_EQ(1u, countOf(all, " I: ExecuteApplication::enableDebugPrivilege: Adjusted token privilege."));

    const auto secondCall = log_.recordsSince(second);
    ASSERT_FALSE(secondCall.empty());
    EXPECT_EQ(debug("Done killing process"), secondCall.back());
    for (size_t i = 0; i + 1 < secondCall.size(); ++i) {
        EXPECT_EQ(0u, secondCall[i].rfind(debug("Found PROCESS NAME:  "), 0)) << secondCall[i];
    }
}

} // namespace
