// The restart-on-failure record handed to the service manager. Wine accepts it and stores nothing,
// so the record is taken where it is handed over instead of read back.
#include <install-common/UpdatedService.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

DWORD level = 0;
SERVICE_FAILURE_ACTIONSW handed = {};
std::vector<SC_ACTION> actions;

BOOL WINAPI capture(SC_HANDLE, DWORD infoLevel, LPVOID info) {
    level = infoLevel;
    handed = *static_cast<const SERVICE_FAILURE_ACTIONSW*>(info);
    actions.assign(handed.lpsaActions, handed.lpsaActions + handed.cActions);
    return TRUE;
}

} // namespace

// Restart twice, ten seconds after each failure, then nothing; the count resets after an hour.
TEST(FailureActions, RestartTwiceThenNothing) {
    const wchar_t name[] = L"OvUnitFailureActions";
    {
        ov::ul::UpdatedService service(name, L"\"C:\\nowhere\\service.exe\"", L"");
        ov::ul::detail::changeServiceConfig2 = capture;
        service.makeAutomaticallyRestarteable();
        ov::ul::detail::changeServiceConfig2 = ::ChangeServiceConfig2W;
    }
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    EXPECT_TRUE(DeleteService(ov::ScopedServiceHandle(OpenServiceW(manager.get(), name, DELETE)).get()));

    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_FAILURE_ACTIONS), level);
    EXPECT_EQ(3600u, handed.dwResetPeriod);
    EXPECT_EQ(nullptr, handed.lpRebootMsg);
    EXPECT_EQ(nullptr, handed.lpCommand);
    ASSERT_EQ(3u, actions.size());
    const SC_ACTION_TYPE types[] = {SC_ACTION_RESTART, SC_ACTION_RESTART, SC_ACTION_NONE};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(types[i], actions[i].Type) << i;
        EXPECT_EQ(i < 2 ? 10000u : 0u, actions[i].Delay) << i;
    }
}
