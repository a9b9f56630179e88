// The service control wrapper against the lab's service manager: open errors, stopping a
// stopped or stopping service, and the one-shot wait.
#include "ServiceTestBase.h"

#include <ov/Exception.h>
#include <ov/Service.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

using ::testing::Contains;
using ::testing::EndsWith;

namespace {

using ServiceWrapperTest = ovtest::ServiceTestBase;

// A missing service: 1060, and the reason names the service and the access mask in decimal.
TEST_F(ServiceWrapperTest, OpeningAMissingServiceThrows1060) {
    try {
        ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SERVICE_DOES_NOT_EXIST), e.errorCode());
        EXPECT_EQ(L"Can't open service '" + name_ + L"' with access rights 36", e.reason());
        EXPECT_EQ(L"ov::details::openService", e.function());
        EXPECT_THAT(e.file(), EndsWith(L"Service.cpp"));
    }
}

// A handle without the query right: reading the state fails with 5 and names the service.
TEST_F(ServiceWrapperTest, StateWithoutTheQueryRightThrows) {
    registerService(placeService(L"v1"));
    ov::Service service(name_, SERVICE_STOP);
    try {
        service.getState();
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(static_cast<unsigned long>(ERROR_ACCESS_DENIED), e.errorCode());
        EXPECT_EQ(L"Can't get status of service '" + name_ + L"'", e.reason());
        EXPECT_EQ(L"ov::Service::getState", e.function());
    }
}

// Stopping a stopped service tolerantly: "not active" is ignored and the wait ends at once.
TEST_F(ServiceWrapperTest, TolerantStopOfAStoppedService) {
    registerService(placeService(L"v1"));
    ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.getState());

    ov::sync::WaitObject<void> stopped = service.beginStop(true);
    stopped.wait();
    EXPECT_TRUE(stopped.empty());
}

// Stopping a stopped service strictly fails with 1062 and names the service.
TEST_F(ServiceWrapperTest, StrictStopOfAStoppedServiceThrows1062) {
    registerService(placeService(L"v1"));
    ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);
    try {
        service.beginStop(false);
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SERVICE_NOT_ACTIVE), e.errorCode());
        EXPECT_EQ(L"Can't send stop control to service '" + name_ + L"'", e.reason());
        EXPECT_EQ(L"ov::Service::beginStop", e.function());
    }
}

// A stop already under way is waited for without a second stop control.
TEST_F(ServiceWrapperTest, TolerantStopWaitsForAStopUnderWay) {
    const std::wstring exe = placeService(L"v1", "stop_pending_ms=1500\n");
    registerService(exe);
    startRunning();
    ASSERT_TRUE(sendStop());
    ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), service.getState());

    service.beginStop(true).wait();

    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.getState());
    const auto journal = ovtest::journalOf(exe);
    EXPECT_EQ(1, std::count(journal.begin(), journal.end(), "stop control"));
    EXPECT_THAT(journal, Contains("state stopped"));
}

// A running service is stopped and the wait lasts until it reports "stopped"; a second wait
// on the same object is a programming error.
TEST_F(ServiceWrapperTest, StopRunningServiceThenSecondWaitThrows) {
    registerService(placeService(L"v1", "stop_pending_ms=300\n"));
    startRunning();
    ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);

    ov::sync::WaitObject<void> stopped = service.beginStop(false);
    stopped.wait();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.getState());

    try {
        stopped.wait();
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("Subsequent call to wait", e.what());
    }
}

// A condition that throws (a service deleted meanwhile) ends the wait with its exception, and
// the wait keeps its condition, so it can be taken up again.
TEST(WaitObjectTest, ExceptionOfTheConditionKeepsTheWait) {
    int polls = 0;
    ov::sync::WaitObject<void> wait([&polls] {
        if (++polls == 1) {
            throw std::runtime_error("gone");
        }
        return polls == 3;
    });

    EXPECT_THROW(wait.wait(), std::runtime_error);
    EXPECT_FALSE(wait.empty());
    wait.wait();
    EXPECT_EQ(3, polls);
    EXPECT_TRUE(wait.empty());
}

} // namespace
