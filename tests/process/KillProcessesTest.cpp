// Taking down running product processes: the quit request, the waits, the termination, the
// folder restriction, and the privilege adjustment of the first call.
#include "StandIns.h"
#include "TestLog.h"
#include "TestSupport.h"

#include <install-common/ExecuteApplication.h>
#include <ov/Win32.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using namespace ExecuteApplication;

std::string debug(const std::string& message) {
    return " D: ExecuteApplication::killProcessesByName: " + message;
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
    // Starts a stand-in copy placed in folder and waits until its journal shows it is ready.
    std::unique_ptr<ovtest::StartedProcess> start(const std::wstring& folder, const std::wstring& exe,
                                                  const std::string& settings, const std::string& readyLine) {
        const std::wstring path = ovtest::placeStandIn(folder, exe, settings);
        auto process = std::make_unique<ovtest::StartedProcess>(path);
        EXPECT_TRUE(process->valid());
        EXPECT_TRUE(ovtest::waitForJournalLine(path, readyLine)) << ovtest::toUtf8(path);
        return process;
    }

    ovtest::TempDir dir_{L"kill"};
};

// A client that quits on WM_QUIT ends within the wait (result 0) and is terminated anyway; one
// that ignores it is terminated after the time-out (258); a windowless process gets a second
// request that finds nothing, so no second wait. The wait happens once in every case.
TEST_F(KillProcessesTest, QuitRequestWaitAndTermination) {
    const struct {
        const wchar_t* folder;
        const wchar_t* exe;
        const char* settings;
        const char* readyLine;
        unsigned timeoutMs;
        int waitResult;
        const char* journalLine; // what the process went through, if it has a window
    } cases[] = {
        {L"quits", L"Kelvara.exe", "on_quit=exit", "window", 4000, 0, "exit"},
        {L"ignores", L"Kelvara.exe", "on_quit=ignore", "window", 500, 258, "quit received"},
        {L"windowless", L"openvpn.exe", "", "started", 300, 258, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ovtest::toUtf8(c.folder));
        const ovtest::LogMark log;
        const std::wstring folder = dir_ / c.folder;
        auto process = start(folder, c.exe, c.settings, c.readyLine);

        killProcessesByName(c.exe, c.timeoutMs, folder.c_str());

        EXPECT_EQ(0u, process->exitCode()); // TerminateProcess gives 0, as does the quit
        const std::string exe = ovtest::toUtf8(c.exe);
        const std::string waiting = debug("Waiting " + std::to_string(c.timeoutMs) + " ms");
        const auto records = log.records();
        EXPECT_TRUE(inOrder(records, {debug("Found matching PROCESS NAME:  " + exe), waiting,
                                      debug("Finished waiting with result " + std::to_string(c.waitResult)),
                                      " I: ExecuteApplication::killProcessesByName: Terminating process: " +
                                          std::to_string(process->id()) + ". exe: " + exe,
                                      debug("Done killing process")}));
        EXPECT_EQ(1, std::count(records.begin(), records.end(), waiting));
        const std::string window =
            " D: ExecuteApplication::enum_windows_callback: Found window with process id: " +
            std::to_string(process->id());
        if (c.journalLine != nullptr) {
            EXPECT_THAT(ovtest::journalOf(folder + L"\\" + c.exe), Contains(c.journalLine));
            EXPECT_TRUE(inOrder(records, {window,
                                          " D: ExecuteApplication::sendQuitCommandToProcess: "
                                          "PostMessage returned: 1, LE: 0",
                                          waiting}));
        } else {
            EXPECT_THAT(records, Not(Contains(HasSubstr("Found window with process id"))));
        }
    }
    EXPECT_THAT(ovtest::journalOf(dir_ / L"ignores\\Kelvara.exe"), Not(Contains("exit")));
}

// The folder is found anywhere in the path, not only at its start, with ASCII letters compared
// without case; the same program in another folder keeps running.
TEST_F(KillProcessesTest, FolderRestrictionIsAnAsciiCaseInsensitiveSubstring) {
    auto inFolder = start(dir_ / L"Product", L"openvpn.exe", "", "started");
    auto elsewhere = start(dir_ / L"Other", L"openvpn.exe", "", "started");

    const std::wstring withoutDrive = (dir_ / L"PRODUCT").substr(2);
    killProcessesByName(L"OpenVPN.EXE", 100, withoutDrive.c_str());

    EXPECT_FALSE(inFolder->running());
    EXPECT_TRUE(elsewhere->running());
}

// The rules behind the restriction: only A to Z are folded, every other letter is kept as it is.
TEST(ProcessRulesTest, AsciiOnlyFoldingAndFolderMatch) {
    EXPECT_EQ(L"kelvara.exe @[`{\u00C4\u00D6\u0130x", toLowerAscii(L"KELVARA.exe @[`{\u00C4\u00D6\u0130X"));
    EXPECT_TRUE(equalsIgnoringAsciiCase(L"OpenVPN.exe", L"openvpn.EXE"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"\u00C4.exe", L"\u00E4.exe"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"openvpn.exe", L"openvpn.exe "));
    const std::wstring path = L"C:\\Program Files (x86)\\Orvanta\\\u00C4rger\\2.1\\Kelvara.exe";
    EXPECT_TRUE(pathContainsFolder(path, L"c:\\program files (x86)\\orvanta\\\u00C4RGER\\2.1"));
    EXPECT_TRUE(pathContainsFolder(path, L"ORVANTA\\\u00C4rger\\2"));
    EXPECT_TRUE(pathContainsFolder(path, L""));
    EXPECT_FALSE(pathContainsFolder(path, L"orvanta\\\u00E4rger"));
    EXPECT_FALSE(pathContainsFolder(path, L"C:\\Program Files\\Orvanta"));
}

// The privilege is adjusted at the first call of the run only, whichever test made it.
TEST_F(KillProcessesTest, PrivilegeAdjustedOnlyOnFirstCall) {
    killProcessesByName(L"no-such-program.exe", 100, nullptr);
    killProcessesByName(L"no-such-program.exe", 100, nullptr);

    EXPECT_THAT(
        ovtest::LogMark(true).matching("ExecuteApplication::enableDebugPrivilege"),
        ::testing::ElementsAre(" I: ExecuteApplication::enableDebugPrivilege: Adjusted token privilege."));
}

} // namespace
