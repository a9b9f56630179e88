// The product service's life in an installation run, with the stand-in service: registration
// or update, stop, start, and the restart-on-failure settings.
#include "ServiceTestBase.h"

#include <install-common/UpdatedService.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class UpdatedServiceTest : public ovtest::ServiceTestBase {
protected:
    std::string updated() const {
        return " I: ov::ul::UpdatedService::update: " + name8() + " service is updated";
    }
    std::string stopped() const {
        return " I: ov::ul::UpdatedService::stop: " + name8() + " service is stopped";
    }
    std::string cannotStart() const {
        return ".W: ov::ul::UpdatedService::start: " + name8() + " service can't be started, require reboot";
    }
};

// A new service is registered under its key name with the quoted path as an own-process,
// automatic service whose failures are ignored; stopping it does nothing as it never ran, and
// starting it waits until it runs.
TEST_F(UpdatedServiceTest, NewServiceIsRegisteredNotStoppedAndStarted) {
    const std::wstring exe = placeService(L"v2", "start_pending_ms=500");
    ASSERT_FALSE(ov::ul::serviceExists(name_));

    ov::ul::UpdatedService service(name_, ovtest::quote(exe), L"");
    EXPECT_TRUE(service.created());
    std::vector<BYTE> buffer;
    const QUERY_SERVICE_CONFIGW& stored = config(buffer);
    ASSERT_NE(nullptr, stored.lpBinaryPathName) << "registration not readable";
    EXPECT_EQ(ovtest::quote(exe), stored.lpBinaryPathName);
    EXPECT_EQ(name_, stored.lpDisplayName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), stored.dwServiceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), stored.dwStartType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_IGNORE), stored.dwErrorControl);

    service.stop();
    EXPECT_THAT(ovtest::journalOf(exe), IsEmpty());
    EXPECT_THAT(log_.records(),
                ElementsAre(" I: ov::ul::UpdatedService::create: " + name8() + " service is registered"));

    service.start();
    EXPECT_FALSE(service.rebootRequired());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), state());
    EXPECT_THAT(log_.records(),
                Contains(" I: ov::ul::ServiceBase::startService: Service '" + name8() + "' started"));
}

// A running earlier version is re-pointed at the new executable and made automatic, its error
// control kept, then stopped and waited for; a later run that finds it stopped stops quietly.
TEST_F(UpdatedServiceTest, ExistingServiceIsUpdatedAndStopped) {
    const std::wstring oldExe = placeService(L"v1", "stop_pending_ms=700");
    const std::wstring newExe = placeService(L"v2");
    registerService(oldExe);
    startRunning();

    ov::ul::UpdatedService service(name_, ovtest::quote(newExe), L"");
    EXPECT_FALSE(service.created());
    std::vector<BYTE> buffer;
    const QUERY_SERVICE_CONFIGW& stored = config(buffer);
    ASSERT_NE(nullptr, stored.lpBinaryPathName) << "registration not readable";
    EXPECT_EQ(ovtest::quote(newExe), stored.lpBinaryPathName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), stored.dwStartType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), stored.dwErrorControl);
    service.stop();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state());
    EXPECT_THAT(ovtest::journalOf(oldExe), Contains("state stopped"));

    ov::ul::UpdatedService again(name_, ovtest::quote(newExe), L"");
    again.stop();

    EXPECT_FALSE(service.rebootRequired());
    EXPECT_FALSE(again.rebootRequired());
    EXPECT_THAT(log_.records(), ElementsAre(updated(), stopped(), updated(), stopped()));
}

// A service deleted by someone else before the stop: a warning with the exception's text, and
// a reboot is required.
TEST_F(UpdatedServiceTest, ServiceDeletedBeforeStopRequiresReboot) {
    registerService(placeService(L"v1"));
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
    removeService();

    service.stop();

    EXPECT_TRUE(service.rebootRequired());
    const auto records = log_.records();
    ASSERT_EQ(2u, records.size());
    const std::string warning = ".W: ov::ul::UpdatedService::stop: Can't stop service " + name8() +
                                ", reboot required: Type: Win32Exception, Reason: Can't open service '" +
                                name8() + "' with access rights 36";
    EXPECT_THAT(records[1], ::testing::StartsWith(warning));
    EXPECT_THAT(records[1], ::testing::EndsWith(", Error Code : 1060"));
}

// Starting a service that is already running fails (1056): a warning, and a reboot is required.
TEST_F(UpdatedServiceTest, StartOfARunningServiceRequiresReboot) {
    registerService(placeService(L"v1"));
    startRunning();
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");

    service.start();

    EXPECT_TRUE(service.rebootRequired());
    const std::string refused =
        ".W: ov::ul::ServiceBase::startService: StartService failed to start service '" + name8() +
        "'. Last error=1056";
    EXPECT_THAT(log_.records(), ElementsAre(updated(), refused, cannotStart()));
}

// A service that stops while starting: the wait ends at "stopped", the start fails.
TEST_F(UpdatedServiceTest, ServiceStoppingDuringStartUpIsNotStarted) {
    ov::ul::UpdatedService service(
        name_, ovtest::quote(placeService(L"v2", "start=fail\nstart_pending_ms=500\nexit_code=42")), L"");

    service.start();

    EXPECT_TRUE(service.rebootRequired());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state());
    EXPECT_THAT(log_.records(), ::testing::IsSupersetOf({"*E: ov::ul::ServiceBase::startService: Service '" +
                                                             name8() + "' is not started. State: 1",
                                                         cannotStart()}));
}

// What the service manager is handed for restarts after a crash (Wine stores none of it).
int calls = 0;
DWORD infoLevel = 0;
SERVICE_FAILURE_ACTIONSW record = {};
std::vector<SC_ACTION> actions;

BOOL WINAPI captureChangeServiceConfig2(SC_HANDLE, DWORD level, LPVOID info) {
    ++calls;
    infoLevel = level;
    record = *static_cast<const SERVICE_FAILURE_ACTIONSW*>(info);
    actions.assign(record.lpsaActions, record.lpsaActions + record.cActions);
    return TRUE;
}

// Restart twice after ten seconds, then nothing; the count resets after an hour.
TEST_F(UpdatedServiceTest, FailureActionsHandedToTheServiceManager) {
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
    ov::ul::detail::changeServiceConfig2 = captureChangeServiceConfig2;
    service.makeAutomaticallyRestarteable();
    ov::ul::detail::changeServiceConfig2 = ::ChangeServiceConfig2W;

    ASSERT_EQ(1, calls);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_FAILURE_ACTIONS), infoLevel);
    EXPECT_EQ(3600u, record.dwResetPeriod);
    EXPECT_EQ(nullptr, record.lpRebootMsg);
    EXPECT_EQ(nullptr, record.lpCommand);
    ASSERT_EQ(3u, actions.size());
    EXPECT_EQ(SC_ACTION_RESTART, actions[0].Type);
    EXPECT_EQ(10000u, actions[0].Delay);
    EXPECT_EQ(SC_ACTION_RESTART, actions[1].Type);
    EXPECT_EQ(10000u, actions[1].Delay);
    EXPECT_EQ(SC_ACTION_NONE, actions[2].Type);
    EXPECT_EQ(0u, actions[2].Delay);
    EXPECT_THAT(log_.matching("makeAutomaticallyRestarteable"), IsEmpty());
}

} // namespace
