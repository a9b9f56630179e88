#include <install-common/ServiceBase.h>

#include <logging/Log.h>
#include <ov/Handle.h>

namespace ov {
namespace ul {

namespace {

constexpr DWORD pollIntervalMs = 100;
// How long a service may take to begin starting, and then to finish starting.
constexpr DWORD startPendingLimitMs = 10000;
constexpr DWORD startedLimitMs = 60000;

bool queryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                sizeof(status), &needed) != FALSE;
}

} // namespace

bool ServiceBase::startService(const std::wstring& name) {
    // A failure to connect shows up as a failure to open the service.
    const ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ScopedServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
    if (!service) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Failed to open service %s", name.c_str());
        return false;
    }
    if (!StartServiceW(service.get(), 0, nullptr)) {
        OV_KMF_LOG(OvKmfLogging::Warning, L"StartService failed to start service '%s'. Last error=%lu",
                   name.c_str(), GetLastError());
        return false;
    }
    SERVICE_STATUS_PROCESS status = {};
    if (!queryStatus(service.get(), status)) {
        OV_KMF_LOG(OvKmfLogging::Info, L"QueryServiceStatusEx failed for '%s'. Last error=%lu", name.c_str(),
                   GetLastError());
        return false;
    }
    DWORD state = WaitForServiceStatus(service.get(), status, SERVICE_START_PENDING, startPendingLimitMs);
    if (state == SERVICE_START_PENDING) {
        // Running or stopped ends the wait: whichever comes first.
        state = WaitForServiceStatus(service.get(), status, SERVICE_STOPPED, startedLimitMs);
    }
    if (state == SERVICE_RUNNING) {
        OV_KMF_LOG(OvKmfLogging::Info, L"Service '%s' started", name.c_str());
        return true;
    }
    OV_KMF_LOG(OvKmfLogging::Error, L"Service '%s' is not started. State: %d", name.c_str(), state);
    return false;
}

DWORD WaitForServiceStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status, DWORD expectedState,
                           DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    if (status.dwCurrentState == SERVICE_RUNNING) {
        return SERVICE_RUNNING;
    }
    for (;;) {
        Sleep(pollIntervalMs);
        if (!queryStatus(service, status)) {
            OV_KMF_LOG(OvKmfLogging::Error,
                       L"WaitForServiceStatus: QueryServiceStatusEx failed with error %lu", GetLastError());
            return status.dwCurrentState;
        }
        if (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == expectedState) {
            OV_KMF_LOG(OvKmfLogging::Debug, L"WaitForServiceStatus has reached expected state %lu",
                       status.dwCurrentState);
            return status.dwCurrentState;
        }
        if (GetTickCount64() - start > timeoutMs) {
            OV_KMF_LOG(OvKmfLogging::Error, L"WaitForServiceStatus has timeoutted");
            return status.dwCurrentState;
        }
    }
}

} // namespace ul
} // namespace ov
