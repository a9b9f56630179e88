#include <install-common/UpdatedService.h>

#include <install-common/ServiceBase.h>
#include <logging/Log.h>
#include <ov/Exception.h>
#include <ov/Service.h>

#include <exception>

namespace ov {
namespace ul {

namespace detail {

ChangeServiceConfig2Function changeServiceConfig2 = ::ChangeServiceConfig2W;

} // namespace detail

namespace {

// Failure-action settings: restart twice, ten seconds after each crash, then leave it stopped;
// the count of failures starts again after an hour without one.
constexpr DWORD failureResetPeriodSeconds = 3600;
constexpr DWORD restartDelayMs = 10000;

ScopedServiceHandle openServiceManagerForCreate() {
    ScopedServiceHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        const unsigned long code = GetLastError();
        OV_THROW_WIN32(code, L"Can't connect to service manager",
                       L"ov::ul::`anonymous-namespace'::openServiceManagerForCreate");
    }
    return manager;
}

// An empty account means the local system account, which the service manager wants as "none".
const wchar_t* accountOrNone(const std::wstring& account) {
    return account.empty() ? nullptr : account.c_str();
}

} // namespace

bool serviceExists(const std::wstring& name) {
    const ScopedServiceHandle manager = details::openServiceManager();
    try {
        details::openService(manager.get(), name, SERVICE_QUERY_STATUS);
        return true;
    } catch (const Win32Exception& e) {
        if (e.errorCode() == ERROR_SERVICE_DOES_NOT_EXIST) {
            return false;
        }
        throw;
    }
}

UpdatedService::UpdatedService(const std::wstring& name, const std::wstring& imagePath,
                               const std::wstring& account)
    : serviceType_(SERVICE_WIN32_OWN_PROCESS), name_(name), imagePath_(imagePath), account_(account),
      startType_(SERVICE_AUTO_START), manager_(openServiceManagerForCreate()) {
    if (serviceExists(name_)) {
        update();
    } else {
        create();
    }
}

void UpdatedService::update() {
    const ScopedServiceHandle service = details::openService(manager_.get(), name_, SERVICE_ALL_ACCESS);
    if (!ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, startType_, SERVICE_NO_CHANGE,
                              imagePath_.c_str(), nullptr, nullptr, nullptr, accountOrNone(account_), nullptr,
                              nullptr)) {
        const unsigned long code = GetLastError();
        OV_THROW_WIN32(code, L"", L"ov::ul::UpdatedService::update");
    }
    OV_KMF_LOG(OvKmfLogging::Info, L"%ls service is updated", name_.c_str());
}

void UpdatedService::create() {
    created_ = true;
    const ScopedServiceHandle service(
        CreateServiceW(manager_.get(), name_.c_str(), name_.c_str(), SERVICE_START | SERVICE_QUERY_STATUS,
                       serviceType_, startType_, SERVICE_ERROR_IGNORE, imagePath_.c_str(), nullptr, nullptr,
                       nullptr, accountOrNone(account_), nullptr));
    if (!service) {
        const unsigned long code = GetLastError();
        OV_THROW_WIN32(code, L"", L"ov::ul::UpdatedService::create");
    }
    OV_KMF_LOG(OvKmfLogging::Info, L"%ls service is registered", name_.c_str());
}

void UpdatedService::stop() {
    // A service registered in this run has never run.
    if (created_) {
        return;
    }
    try {
        {
            Service service(name_, SERVICE_STOP | SERVICE_QUERY_STATUS);
            service.beginStop(true).wait();
        }
        OV_KMF_LOG(OvKmfLogging::Info, L"%ls service is stopped", name_.c_str());
    } catch (const std::exception& e) {
        OV_KMF_LOG(OvKmfLogging::Warning, L"Can't stop service %ls, reboot required: %hs", name_.c_str(),
                   e.what());
        rebootRequired_ = true;
    }
}

void UpdatedService::start() {
    if (!ServiceBase::startService(name_)) {
        OV_KMF_LOG(OvKmfLogging::Warning, L"%ls service can't be started, require reboot", name_.c_str());
        rebootRequired_ = true;
    }
}

void UpdatedService::makeAutomaticallyRestarteable() {
    if (!manager_) {
        OV_KMF_LOG(OvKmfLogging::Error, L"OpenSCManager failed");
        return;
    }
    const ScopedServiceHandle service(OpenServiceW(manager_.get(), name_.c_str(), SERVICE_ALL_ACCESS));
    if (!service) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Failed to open service for changing: %s", name_.c_str());
        return;
    }
    SC_ACTION actions[3] = {
        {SC_ACTION_RESTART, restartDelayMs},
        {SC_ACTION_RESTART, restartDelayMs},
        {SC_ACTION_NONE, 0},
    };
    SERVICE_FAILURE_ACTIONSW failureActions = {};
    failureActions.dwResetPeriod = failureResetPeriodSeconds;
    failureActions.lpRebootMsg = nullptr;
    failureActions.lpCommand = nullptr;
    failureActions.cActions = 3;
    failureActions.lpsaActions = actions;
    if (!detail::changeServiceConfig2(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failureActions)) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Failed to call ChangeServiceConfig2 for %s. Last error=%lu",
                   name_.c_str(), GetLastError());
    }
}

} // namespace ul
} // namespace ov
