#include <ov/Service.h>

#include <ov/Exception.h>

namespace ov {

namespace details {

ScopedServiceHandle openServiceManager() {
    ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        const unsigned long code = GetLastError();
        OV_THROW_WIN32(code, L"Can't connect to service manager", L"ov::details::openServiceManager");
    }
    return manager;
}

ScopedServiceHandle openService(SC_HANDLE manager, const std::wstring& name, DWORD access) {
    ScopedServiceHandle service(OpenServiceW(manager, name.c_str(), access));
    if (!service) {
        const unsigned long code = GetLastError();
        const std::wstring reason =
            L"Can't open service '" + name + L"' with access rights " + std::to_wstring(access);
        OV_THROW_WIN32(code, reason.c_str(), L"ov::details::openService");
    }
    return service;
}

} // namespace details

Service::Service(const std::wstring& name, DWORD access)
    : name_(name), manager_(details::openServiceManager()),
      service_(details::openService(manager_.get(), name_, access)) {}

DWORD Service::getState() const {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof(status), &needed)) {
        const unsigned long code = GetLastError();
        const std::wstring reason = L"Can't get status of service '" + name_ + L"'";
        OV_THROW_WIN32(code, reason.c_str(), L"ov::Service::getState");
    }
    return status.dwCurrentState;
}

sync::WaitObject<void> Service::beginStop(bool tolerateStopped) {
    // A stop already under way is waited for rather than asked for again.
    if (!(tolerateStopped && getState() == SERVICE_STOP_PENDING)) {
        SERVICE_STATUS status = {};
        if (!ControlService(service_.get(), SERVICE_CONTROL_STOP, &status)) {
            const unsigned long code = GetLastError();
            if (!(code == ERROR_SERVICE_NOT_ACTIVE && tolerateStopped)) {
                const std::wstring reason = L"Can't send stop control to service '" + name_ + L"'";
                OV_THROW_WIN32(code, reason.c_str(), L"ov::Service::beginStop");
            }
        }
    }
    return getStoppedWaitObject();
}

sync::WaitObject<void> Service::getStoppedWaitObject() const {
    return sync::WaitObject<void>([this] { return getState() == SERVICE_STOPPED; });
}

} // namespace ov
