// The product service's life in an installation run, with the stand-in service: registration
// or update, stop, start, and the restart-on-failure settings.
#include "ServiceTestBase.h"

#include <install-common/ServiceBase.h>
#include <install-common/UpdatedService.h>
#include <ov/Exception.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

class UpdatedServiceTest : public ovtest::ServiceTestBase {
protected:
    std::string record(const char* label, const char* function, const std::string& message) const {
        return std::string(label) + ": " + function + ": " + message;
    }
};

// A service that did not exist is registered under its key name with the quoted path as an
// own-process, automatic service whose failures are ignored; stopping it does nothing, as it
// has never run.
TEST_F(UpdatedServiceTest, NewServiceIsRegisteredAndNotStopped) {
    const std::wstring exe = placeService(L"v2");
    ASSERT_FALSE(ov::ul::serviceExists(name_));

    ov::ul::UpdatedService service(name_, ovtest::quote(exe), L"");
    EXPECT_TRUE(service.created());
    EXPECT_TRUE(ov::ul::serviceExists(name_));
    const auto stored = config();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(ovtest::quote(exe), stored->imagePath);
    EXPECT_EQ(name_, stored->displayName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), stored->serviceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), stored->startType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_IGNORE), stored->errorControl);

    service.stop();
    EXPECT_FALSE(service.rebootRequired());
    EXPECT_THAT(records(), ElementsAre(record(" I", "ov::ul::UpdatedService::create",
                                              name8() + " service is registered")));
    EXPECT_THAT(ovtest::journalOf(exe), IsEmpty());
}

// A running earlier version is re-pointed at the new executable and made automatic, its error
// control kept; then it is stopped and waited for.
TEST_F(UpdatedServiceTest, ExistingRunningServiceIsUpdatedAndStopped) {
    const std::wstring oldExe = placeService(L"v1", "stop_pending_ms=700\n");
    const std::wstring newExe = placeService(L"v2");
    registerService(oldExe);
    startRunning();

    ov::ul::UpdatedService service(name_, ovtest::quote(newExe), L"");
    EXPECT_FALSE(service.created());
    const auto stored = config();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(ovtest::quote(newExe), stored->imagePath);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), stored->startType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), stored->errorControl);

    service.stop();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state());
    EXPECT_THAT(ovtest::journalOf(oldExe), Contains("state stopped"));
    EXPECT_FALSE(service.rebootRequired());
    EXPECT_THAT(records(),
                ElementsAre(record(" I", "ov::ul::UpdatedService::update", name8() + " service is updated"),
                            record(" I", "ov::ul::UpdatedService::stop", name8() + " service is stopped")));
}

// An existing service that is not running: the stop is no error.
TEST_F(UpdatedServiceTest, ExistingStoppedServiceStopsQuietly) {
    registerService(placeService(L"v1"));

    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
    service.stop();

    EXPECT_FALSE(service.rebootRequired());
    EXPECT_THAT(records(),
                Contains(record(" I", "ov::ul::UpdatedService::stop", name8() + " service is stopped")));
}

// A service deleted by someone else before the stop: a warning with the exception's text,
// and a reboot is required.
TEST_F(UpdatedServiceTest, ServiceDeletedBeforeStopRequiresReboot) {
    registerService(placeService(L"v1"));
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
    removeService();

    service.stop();

    EXPECT_TRUE(service.rebootRequired());
    const auto all = records();
    ASSERT_EQ(2u, all.size());
    EXPECT_THAT(all[1],
                StartsWith(record(
                    ".W", "ov::ul::UpdatedService::stop",
                    "Can't stop service " + name8() +
                        ", reboot required: Type: Win32Exception, Reason: Can't open service '" + name8() +
                        "' with access rights 36, Function: ov::details::openService, File: ")));
    EXPECT_THAT(all[1], ::testing::EndsWith(", Error Code : 1060"));
}

// A registration that cannot be changed (deleted while someone still holds it) is not taken
// over: the constructor throws with the system's code and its message as reason.
TEST_F(UpdatedServiceTest, UpdateOfAServiceMarkedForDeletionThrows) {
    registerService(placeService(L"v1"));
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const ov::ScopedServiceHandle held(OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS));
    ASSERT_TRUE(DeleteService(held.get()));

    try {
        ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SERVICE_MARKED_FOR_DELETE), e.errorCode());
        EXPECT_EQ(L"ov::ul::UpdatedService::update", e.function());
        EXPECT_FALSE(e.reason().empty());
    }
}

// A normal start through both waits: start-pending first, then running.
TEST_F(UpdatedServiceTest, StartWaitsUntilRunning) {
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2", "start_pending_ms=500\n")), L"");

    service.start();

    EXPECT_FALSE(service.rebootRequired());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), state());
    const auto all = records();
    EXPECT_THAT(all, Contains(record(" D", "ov::ul::WaitForServiceStatus",
                                     "WaitForServiceStatus has reached expected state 2")));
    EXPECT_THAT(all, Contains(record(" D", "ov::ul::WaitForServiceStatus",
                                     "WaitForServiceStatus has reached expected state 4")));
    EXPECT_THAT(all, Contains(record(" I", "ov::ul::ServiceBase::startService",
                                     "Service '" + name8() + "' started")));
}

// Starting a service that is already running fails (1056): a warning, and a reboot is required.
TEST_F(UpdatedServiceTest, StartOfARunningServiceRequiresReboot) {
    registerService(placeService(L"v1"));
    startRunning();
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");

    service.start();

    EXPECT_TRUE(service.rebootRequired());
    EXPECT_THAT(records(),
                ElementsAre(record(" I", "ov::ul::UpdatedService::update", name8() + " service is updated"),
                            record(".W", "ov::ul::ServiceBase::startService",
                                   "StartService failed to start service '" + name8() + "'. Last error=1056"),
                            record(".W", "ov::ul::UpdatedService::start",
                                   name8() + " service can't be started, require reboot")));
}

// A service that is not registered cannot be started; the record names it.
TEST_F(UpdatedServiceTest, StartOfAMissingServiceFailsAtOnce) {
    EXPECT_FALSE(ov::ul::ServiceBase::startService(name_));
    EXPECT_THAT(records(), ElementsAre(record("*E", "ov::ul::ServiceBase::startService",
                                              "Failed to open service " + name8())));
}

// A status already "running" ends the wait before any query; a query that fails ends it with
// the system's code logged and the last known state.
TEST_F(UpdatedServiceTest, WaitEndsAtRunningOrAtAFailedQuery) {
    SERVICE_STATUS_PROCESS status = {};
    status.dwCurrentState = SERVICE_RUNNING;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING),
              ov::ul::WaitForServiceStatus(nullptr, status, SERVICE_STOPPED, 60000));
    EXPECT_THAT(records(), IsEmpty());

    status.dwCurrentState = SERVICE_START_PENDING;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING),
              ov::ul::WaitForServiceStatus(nullptr, status, SERVICE_STOPPED, 60000));
    EXPECT_THAT(records(),
                ElementsAre(record("*E", "ov::ul::WaitForServiceStatus",
                                   "WaitForServiceStatus: QueryServiceStatusEx failed with error " +
                                       std::to_string(ERROR_INVALID_HANDLE))));
}

// A service that stops while starting: the second wait ends with "stopped" and the start fails.
TEST_F(UpdatedServiceTest, ServiceStoppingDuringStartUpIsNotStarted) {
    ov::ul::UpdatedService service(
        name_, ovtest::quote(placeService(L"v2", "start=fail\nstart_pending_ms=500\nexit_code=42\n")), L"");

    service.start();

    EXPECT_TRUE(service.rebootRequired());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state());
    const auto all = records();
    EXPECT_THAT(all, Contains(record(" D", "ov::ul::WaitForServiceStatus",
                                     "WaitForServiceStatus has reached expected state 1")));
    EXPECT_THAT(all, Contains(record("*E", "ov::ul::ServiceBase::startService",
                                     "Service '" + name8() + "' is not started. State: 1")));
    EXPECT_THAT(all, Contains(record(".W", "ov::ul::UpdatedService::start",
                                     name8() + " service can't be started, require reboot")));
}

// What the service manager is handed for restarts after a crash (Wine stores none of it).
struct CapturedFailureActions {
    int calls = 0;
    DWORD infoLevel = 0;
    DWORD resetPeriod = 0;
    bool hasRebootMessage = true;
    bool hasCommand = true;
    std::vector<SC_ACTION> actions;
    BOOL result = TRUE;
    DWORD error = 0;
};
CapturedFailureActions captured;

BOOL WINAPI captureChangeServiceConfig2(SC_HANDLE, DWORD infoLevel, LPVOID info) {
    ++captured.calls;
    captured.infoLevel = infoLevel;
    const auto* record = static_cast<const SERVICE_FAILURE_ACTIONSW*>(info);
    captured.resetPeriod = record->dwResetPeriod;
    captured.hasRebootMessage = record->lpRebootMsg != nullptr;
    captured.hasCommand = record->lpCommand != nullptr;
    captured.actions.assign(record->lpsaActions, record->lpsaActions + record->cActions);
    SetLastError(captured.error);
    return captured.result;
}

class FailureActionsTest : public UpdatedServiceTest {
protected:
    void SetUp() override {
        UpdatedServiceTest::SetUp();
        captured = CapturedFailureActions();
        ov::ul::detail::changeServiceConfig2 = captureChangeServiceConfig2;
    }
    void TearDown() override {
        ov::ul::detail::changeServiceConfig2 = ::ChangeServiceConfig2W;
        UpdatedServiceTest::TearDown();
    }
};

// Restart twice after ten seconds, then nothing; the count resets after an hour.
TEST_F(FailureActionsTest, RecordHandedToTheServiceManager) {
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");

    service.makeAutomaticallyRestarteable();

    ASSERT_EQ(1, captured.calls);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_FAILURE_ACTIONS), captured.infoLevel);
    EXPECT_EQ(3600u, captured.resetPeriod);
    EXPECT_FALSE(captured.hasRebootMessage);
    EXPECT_FALSE(captured.hasCommand);
    ASSERT_EQ(3u, captured.actions.size());
    EXPECT_EQ(SC_ACTION_RESTART, captured.actions[0].Type);
    EXPECT_EQ(10000u, captured.actions[0].Delay);
    EXPECT_EQ(SC_ACTION_RESTART, captured.actions[1].Type);
    EXPECT_EQ(10000u, captured.actions[1].Delay);
    EXPECT_EQ(SC_ACTION_NONE, captured.actions[2].Type);
    EXPECT_EQ(0u, captured.actions[2].Delay);
    EXPECT_THAT(records(), Not(Contains(HasSubstr("makeAutomaticallyRestarteable"))));
}

// A refused change is logged with the name and the system's code, and nothing more happens.
TEST_F(FailureActionsTest, RefusedChangeIsLogged) {
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
    captured.result = FALSE;
    captured.error = ERROR_ACCESS_DENIED;

    service.makeAutomaticallyRestarteable();

    EXPECT_FALSE(service.rebootRequired());
    EXPECT_THAT(records(),
                Contains(record("*E", "ov::ul::UpdatedService::makeAutomaticallyRestarteable",
                                "Failed to call ChangeServiceConfig2 for " + name8() + ". Last error=5")));
}

// A service that is gone by then: the failed open is logged and nothing is handed over.
TEST_F(FailureActionsTest, ServiceGoneIsLoggedAndLeftAlone) {
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");
    removeService();

    service.makeAutomaticallyRestarteable();

    EXPECT_EQ(0, captured.calls);
    EXPECT_THAT(records(), Contains(record("*E", "ov::ul::UpdatedService::makeAutomaticallyRestarteable",
                                           "Failed to open service for changing: " + name8())));
}

// The real call: the lab's service manager accepts the record.
TEST_F(UpdatedServiceTest, FailureActionsAcceptedByTheServiceManager) {
    ov::ul::UpdatedService service(name_, ovtest::quote(placeService(L"v2")), L"");

    service.makeAutomaticallyRestarteable();

    EXPECT_THAT(records(), Not(Contains(HasSubstr("makeAutomaticallyRestarteable"))));
}

} // namespace
