// Running a utility: the command line and folder it gets, its exit code, and a missing tool.
#include "StandIns.h"
#include "TestLog.h"
#include "TestSupport.h"

#include <install-common/ExecuteApplication.h>
#include <ov/Win32.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

using ovtest::toUtf8;
using ::testing::Contains;
using ::testing::ElementsAre;

namespace {

const std::string kExecute = " I: ExecuteApplication::executeUtility: ";

class ExecuteUtilityTest : public ::testing::Test {
protected:
    ovtest::TempDir dir_{L"execute"};
    ovtest::LogMark log_;
};

// The tool's exit code reaches the caller as it is, also codes with the high bit set.
TEST_F(ExecuteUtilityTest, ReturnsTheExitCodeUnchanged) {
    for (const unsigned long code : {0ul, 3010ul, 0xC0000135ul}) {
        const std::wstring tool =
            ovtest::placeStandIn(dir_.path(), L"drivertool32.exe", "exit_code=" + std::to_string(code));
        EXPECT_EQ(code, ExecuteApplication::executeUtility(tool, L"install", L"")) << code;
    }
}

// The child sees the quoted path, one blank and the arguments, the blank also without arguments.
TEST_F(ExecuteUtilityTest, ChildSeesQuotedPathBlankAndArguments) {
    const std::wstring tool = ovtest::placeStandIn(dir_.path(), L"x64\\drivertool64.exe", "exit_code=7");
    for (const std::wstring arguments : {L"install wintun \"a b\"", L""}) {
        const ovtest::LogMark log;
        EXPECT_EQ(7u, ExecuteApplication::executeUtility(tool, arguments, L""));

        const std::string commandLine = "\"" + toUtf8(tool) + "\" " + toUtf8(arguments);
        EXPECT_THAT(ovtest::journalOf(tool), Contains("command line " + commandLine));
        EXPECT_THAT(log.records(), ElementsAre(kExecute + "Executing: " + commandLine,
                                               kExecute + toUtf8(tool) + " exit code 7"));
    }
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

    EXPECT_THAT(ovtest::journalOf(tool),
                ::testing::IsSupersetOf({"working directory " + toUtf8(work.path()),
                                         "working directory " + toUtf8(ours.path())}));
}

// A tool that is not there: the error record with the system's code, then the exception.
TEST_F(ExecuteUtilityTest, MissingToolThrowsAfterTheErrorRecord) {
    const std::wstring tool = dir_ / L"missing.exe";
    std::string thrown;
    try {
        ExecuteApplication::executeUtility(tool, L"install", L"");
    } catch (const std::runtime_error& e) {
        thrown = e.what();
    }
    EXPECT_EQ("can't create process", thrown);
    EXPECT_THAT(log_.records(),
                ElementsAre(kExecute + "Executing: \"" + toUtf8(tool) + "\" install",
                            "*E: ExecuteApplication::executeUtility: Can't create process: 2"));
}

} // namespace
