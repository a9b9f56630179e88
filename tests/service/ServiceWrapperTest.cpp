// The service control wrapper against the lab's service manager: open errors, stopping a
// stopped or stopping service, and the one-shot wait.
#include "ServiceTestBase.h"

#include <ov/Exception.h>
#include <ov/Service.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

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
    }
}

// A stopped service: the tolerant stop ends at once and its wait is spent after one use; the
// strict stop fails with 1062 and names the service.
TEST_F(ServiceWrapperTest, StopOfAStoppedService) {
    registerService(placeService(L"v1"));
    ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);

    ov::sync::WaitObject<void> stopped = service.beginStop(true);
    stopped.wait();
    EXPECT_TRUE(stopped.empty());
    try {
        stopped.wait();
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("Subsequent call to wait", e.what());
    }

    try {
        service.beginStop(false);
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SERVICE_NOT_ACTIVE), e.errorCode());
        EXPECT_EQ(L"Can't send stop control to service '" + name_ + L"'", e.reason());
    }
}

// A stop already under way is waited for without a second stop control.
TEST_F(ServiceWrapperTest, TolerantStopWaitsForAStopUnderWay) {
    const std::wstring exe = placeService(L"v1", "stop_pending_ms=1500");
    registerService(exe);
    startRunning();
    SERVICE_STATUS status = {};
    ASSERT_TRUE(ControlService(open(SERVICE_STOP).get(), SERVICE_CONTROL_STOP, &status));
    ov::Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), service.getState());

    service.beginStop(true).wait();

    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.getState());
    const auto journal = ovtest::journalOf(exe);
    EXPECT_EQ(1, std::count(journal.begin(), journal.end(), "stop control"));
    EXPECT_THAT(journal, ::testing::Contains("state stopped"));
}

} // namespace
