// The restart-on-failure record handed to the service manager. Wine accepts it and stores nothing,
// so the record is taken where it is handed over instead of read back.
#include <install-common/UpdatedService.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The record as text: info level, reset period, message and command set or not, then each action.
std::string handed;

BOOL WINAPI capture(SC_HANDLE, DWORD infoLevel, LPVOID info) {
    const auto& record = *static_cast<const SERVICE_FAILURE_ACTIONSW*>(info);
    handed = std::to_string(infoLevel) + " " + std::to_string(record.dwResetPeriod) + " " +
             std::to_string(record.lpRebootMsg != nullptr) + std::to_string(record.lpCommand != nullptr);
    for (DWORD i = 0; i < record.cActions; ++i) {
        handed += " " + std::to_string(record.lpsaActions[i].Type) + "/" +
                  std::to_string(record.lpsaActions[i].Delay);
    }
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

    EXPECT_EQ("2 3600 00 1/10000 1/10000 0/0", handed); // restart, restart, nothing
}
