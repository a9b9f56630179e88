#include "ServiceTestBase.h"

#include <vector>

namespace ovtest {

ServiceTestBase::ServiceTestBase()
    : name_(L"Kelvara Test Service " +
            toWide(::testing::UnitTest::GetInstance()->current_test_info()->name())),
      log_(serviceTestLog()) {}

void ServiceTestBase::SetUp() {
    removeService(); // left over by an interrupted run
    mark_ = log_.mark();
}

void ServiceTestBase::TearDown() {
    removeService();
}

std::wstring ServiceTestBase::placeService(const std::wstring& folder, const std::string& settings) {
    CreateDirectoryW((dir_ / folder).c_str(), nullptr);
    return placeStandIn(dir_ / folder, L"ovvpnservice.exe", settings);
}

ov::ScopedServiceHandle ServiceTestBase::open(DWORD access) {
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    return ov::ScopedServiceHandle(OpenServiceW(manager.get(), name_.c_str(), access));
}

void ServiceTestBase::registerService(const std::wstring& exePath) {
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const ov::ScopedServiceHandle service(
        CreateServiceW(manager.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       quote(exePath).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service.valid()) << GetLastError();
}

void ServiceTestBase::startRunning() {
    const ov::ScopedServiceHandle service = open(SERVICE_START);
    ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
    ASSERT_TRUE(waitForState(SERVICE_RUNNING));
}

bool ServiceTestBase::sendStop() {
    const ov::ScopedServiceHandle service = open(SERVICE_STOP);
    SERVICE_STATUS status = {};
    return ControlService(service.get(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

bool ServiceTestBase::waitForState(DWORD wanted) {
    for (int i = 0; i < 300; ++i) {
        if (state() == wanted) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

DWORD ServiceTestBase::state() {
    const ov::ScopedServiceHandle service = open(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    return QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

std::optional<ServiceConfig> ServiceTestBase::config() {
    const ov::ScopedServiceHandle service = open(SERVICE_QUERY_CONFIG);
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
    auto* stored = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service.get(), stored, static_cast<DWORD>(buffer.size()), &needed)) {
        return std::nullopt;
    }
    ServiceConfig result;
    result.serviceType = stored->dwServiceType;
    result.startType = stored->dwStartType;
    result.errorControl = stored->dwErrorControl;
    result.imagePath = stored->lpBinaryPathName != nullptr ? stored->lpBinaryPathName : L"";
    result.displayName = stored->lpDisplayName != nullptr ? stored->lpDisplayName : L"";
    return result;
}

void ServiceTestBase::removeService() {
    const ov::ScopedServiceHandle service = open(SERVICE_ALL_ACCESS);
    if (!service) {
        return;
    }
    SERVICE_STATUS status = {};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status) || state() != SERVICE_STOPPED) {
        waitForState(SERVICE_STOPPED);
    }
    DeleteService(service.get());
}

} // namespace ovtest
