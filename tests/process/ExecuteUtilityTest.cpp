// Running a utility: the command line and folder it gets, its exit code, and a missing tool.
#include "ProcessLog.h"
#include "StandIns.h"
#include "TestSupport.h"

#include <install-common/ExecuteApplication.h>
#include <ov/Win32.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

namespace {

class ExecuteUtilityTest : public ::testing::Test {
protected:
    ExecuteUtilityTest() : log_(ovtest::processTestLog()), mark_(log_.mark()) {}

    std::vector<std::string> records() const { return log_.recordsSince(mark_); }

    std::string utf8(const std::wstring& text) const { return ovtest::toUtf8(text); }

    ovtest::TempDir dir_{L"execute"};
    ovtest::TestLog& log_;
    std::uint64_t mark_;
};

// The tool's exit code reaches the caller as it is, also codes with the high bit set.
TEST_F(ExecuteUtilityTest, ReturnsTheExitCodeUnchanged) {
    for (const unsigned long code : {0ul, 1ul, 3010ul, 0xC0000135ul}) {
        const std::wstring tool = ovtest::placeStandIn(dir_.path(), L"drivertool32.exe",
                                                       "exit_code=" + std::to_string(code) + "\n");
        EXPECT_EQ(code, ExecuteApplication::executeUtility(tool, L"install", L"")) << code;
    }
}

// The child sees the quoted path, one blank and the arguments; the exit record names the path.
TEST_F(ExecuteUtilityTest, ChildSeesQuotedPathAndArguments) {
    const std::wstring tool = ovtest::placeStandIn(dir_.path(), L"x64\\drivertool64.exe", "exit_code=7\n");

    EXPECT_EQ(7u, ExecuteApplication::executeUtility(tool, L"install wintun \"a b\"", L""));

    const std::string quoted = "\"" + utf8(tool) + "\"";
    EXPECT_THAT(ovtest::journalOf(tool),
                ::testing::Contains("command line " + quoted + " install wintun \"a b\""));
    EXPECT_THAT(records(),
                ElementsAre(" I: ExecuteApplication::executeUtility: Executing: " + quoted +
                                " install wintun \"a b\"",
                            " I: ExecuteApplication::executeUtility: " + utf8(tool) + " exit code 7"));
}

// An empty argument string still leaves the blank after the closing quotation mark.
TEST_F(ExecuteUtilityTest, EmptyArgumentsKeepTheBlank) {
    const std::wstring tool = ovtest::placeStandIn(dir_.path(), L"drivertool32.exe");

    EXPECT_EQ(0u, ExecuteApplication::executeUtility(tool, L"", L""));

    const std::string quoted = "\"" + utf8(tool) + "\"";
    EXPECT_THAT(ovtest::journalOf(tool), ::testing::Contains("command line " + quoted + " "));
    EXPECT_THAT(records(),
                ::testing::Contains(" I: ExecuteApplication::executeUtility: Executing: " + quoted + " "));
}

// A given working folder is the child's current folder; without one it inherits ours.
TEST_F(ExecuteUtilityTest, WorkingFolderGivenOrInherited) {
    const std::wstring tool = ovtest::placeStandIn(dir_.path(), L"drivertool32.exe");
    ovtest::TempDir work(L"work");
    ovtest::TempDir ours(L"ours");

    ExecuteApplication::executeUtility(tool, L"uninstall", work.path());

    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(ours.path().c_str()));
    ExecuteApplication::executeUtility(tool, L"calloutuninstall", L"");
    SetCurrentDirectoryW(previous);

    EXPECT_THAT(ovtest::journalOf(tool), IsSupersetOf({"working directory " + utf8(work.path()),
                                                       "working directory " + utf8(ours.path())}));
}

// A tool that is not there: the error record with the system's code, then the exception.
TEST_F(ExecuteUtilityTest, MissingToolThrowsAfterTheErrorRecord) {
    const std::wstring tool = dir_ / L"missing.exe";
    try {
        ExecuteApplication::executeUtility(tool, L"install", L"");
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ("can't create process", e.what());
    }
    EXPECT_THAT(records(), ElementsAre(" I: ExecuteApplication::executeUtility: Executing: \"" + utf8(tool) +
                                           "\" install",
                                       "*E: ExecuteApplication::executeUtility: Can't create process: " +
                                           std::to_string(ERROR_FILE_NOT_FOUND)));
}

} // namespace
