// A test's own service, registered with the real service manager of the lab and pointing at
// a copy of the stand-in service; removed (stopped and deleted) before and after each test.
#pragma once

#include "StandIns.h"
#include "TestLog.h"
#include "TestSupport.h"

#include <ov/Handle.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ovtest {

struct ServiceConfig {
    DWORD serviceType = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::wstring imagePath;
    std::wstring displayName;
};

inline TestLog& serviceTestLog() {
    static TestLog log(L"service-tests");
    return log;
}

class ServiceTestBase : public ::testing::Test {
protected:
    ServiceTestBase();

    void SetUp() override;
    void TearDown() override;

    // Places the stand-in service with its settings into dir_\<folder>; returns the exe path.
    std::wstring placeService(const std::wstring& folder, const std::string& settings = "");

    // Registers name_ as an own-process service started on demand, as an earlier version left it.
    void registerService(const std::wstring& exePath);
    // Starts name_ and waits until it runs.
    void startRunning();
    // Sends the stop control directly; true when it was accepted.
    bool sendStop();
    // Waits (up to 30 s) until name_ is in the state; true when it is.
    bool waitForState(DWORD state);
    // The current state of name_; 0 when it cannot be read.
    DWORD state();
    // The stored registration of name_; nullopt when it cannot be read.
    std::optional<ServiceConfig> config();
    // Stops name_ if it runs and deletes it; nothing when it does not exist.
    void removeService();

    std::vector<std::string> records() const { return log_.recordsSince(mark_); }
    std::string name8() const { return toUtf8(name_); }

    TempDir dir_{L"service"};
    std::wstring name_;
    TestLog& log_;
    std::uint64_t mark_ = 0;

private:
    ov::ScopedServiceHandle open(DWORD access);
};

} // namespace ovtest
