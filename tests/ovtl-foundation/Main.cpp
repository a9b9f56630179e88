// The test program doubles as a child process for the tests that need a second process:
// with OV_CHILD_TASK set it does that one task and exits instead of running the tests.
#include "ChildTasks.h"

#include <ov/ProcessUser.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

namespace {

std::wstring environmentValue(const wchar_t* name) {
    wchar_t buffer[4096] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
    return (n > 0 && n < 4096) ? std::wstring(buffer) : std::wstring();
}

} // namespace

int main(int argc, char** argv) {
    const std::wstring task = environmentValue(kChildTaskVariable);
    if (task == kTaskReportAdmin) {
        return ov::ProcessUser::create()->isAdmin() ? kChildIsAdmin : kChildIsNotAdmin;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
