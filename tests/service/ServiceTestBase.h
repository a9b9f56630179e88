// A test's own service, registered with the real service manager of the lab and pointing at
// a copy of the stand-in service; removed (stopped and deleted) before and after each test.
#pragma once

#include "StandIns.h"
#include "TestLog.h"
#include "TestSupport.h"

#include <ov/Handle.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ovtest {

class ServiceTestBase : public ::testing::Test {
protected:
    void SetUp() override { removeService(); } // left over by an interrupted run
    void TearDown() override { removeService(); }

    // Places the stand-in service with its settings into dir_\<folder>; returns the exe path.
    std::wstring placeService(const std::wstring& folder, const std::string& settings = "") {
        return placeStandIn(dir_ / folder, L"ovvpnservice.exe", settings);
    }

    // Registers name_ as an own-process service started on demand, as an earlier version left it.
    void registerService(const std::wstring& exePath) {
        const ov::ScopedServiceHandle service(
            CreateServiceW(manager_.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           quote(exePath).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(service.valid()) << GetLastError();
    }

    // Starts name_ and waits until it runs.
    void startRunning() {
        ASSERT_TRUE(StartServiceW(open(SERVICE_START).get(), 0, nullptr)) << GetLastError();
        ASSERT_TRUE(waitForState(SERVICE_RUNNING));
    }

    // Waits (up to 30 s) until name_ is in the state; true when it is.
    bool waitForState(DWORD wanted) {
        for (int i = 0; i < 300 && state() != wanted; ++i) {
            Sleep(100);
        }
        return state() == wanted;
    }

    // The current state of name_; 0 when it cannot be read.
    DWORD state() {
        SERVICE_STATUS status = {};
        return QueryServiceStatus(open(SERVICE_QUERY_STATUS).get(), &status) ? status.dwCurrentState : 0;
    }

    // The stored registration of name_, zeroed when it cannot be read; valid while the vector lives.
    const QUERY_SERVICE_CONFIGW& config(std::vector<BYTE>& buffer) {
        const ov::ScopedServiceHandle service = open(SERVICE_QUERY_CONFIG);
        DWORD needed = 0;
        QueryServiceConfigW(service.get(), nullptr, 0, &needed);
        buffer.assign(needed + sizeof(QUERY_SERVICE_CONFIGW), 0);
        auto* stored = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        QueryServiceConfigW(service.get(), stored, static_cast<DWORD>(buffer.size()), &needed);
        return *stored;
    }

    // Sends the stop control when name_ runs, waits until it stopped and deletes it.
    void removeService() {
        const ov::ScopedServiceHandle service = open(SERVICE_ALL_ACCESS);
        SERVICE_STATUS status = {};
        if (service &&
            (ControlService(service.get(), SERVICE_CONTROL_STOP, &status) || state() != SERVICE_STOPPED)) {
            waitForState(SERVICE_STOPPED);
        }
        DeleteService(service.get());
    }

    ov::ScopedServiceHandle open(DWORD access) {
        return ov::ScopedServiceHandle(OpenServiceW(manager_.get(), name_.c_str(), access));
    }

    std::string name8() const { return toUtf8(name_); }

    TempDir dir_{L"service"};
    const std::wstring name_ =
        L"Kelvara Test Service " + toWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
    const ov::ScopedServiceHandle manager_{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    LogMark log_;
};

} // namespace ovtest
