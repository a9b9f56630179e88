// A small wrapper around the Service Control Manager: open a service, read its state, stop it
// and wait until it has stopped. Every system failure is thrown as ov::Win32Exception with the
// GetLastError() code; nothing here logs.
#pragma once

#include <ov/Handle.h>
#include <ov/WaitObject.h>
#include <ov/Win32.h>

#include <string>

namespace ov {

namespace details {

// Connects to the local service manager (SC_MANAGER_CONNECT); throws on failure.
ScopedServiceHandle openServiceManager();

// Opens a service with the given access; throws on failure (1060 when it does not exist), the
// reason naming the service and the access mask in decimal.
ScopedServiceHandle openService(SC_HANDLE manager, const std::wstring& name, DWORD access);

} // namespace details

// One open service, held from construction to destruction.
class Service {
public:
    // Opens the manager and then the service; throws what openServiceManager/openService throw.
    Service(const std::wstring& name, DWORD access);

    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    const std::wstring& name() const noexcept { return name_; }

    // The current state (SERVICE_STOPPED, SERVICE_RUNNING, ...); throws when it cannot be read.
    DWORD getState() const;

    // Sends the stop control and returns a wait for "stopped". With tolerateStopped a service
    // already stop-pending gets no control and "not active" (1062) is no error; throws otherwise.
    sync::WaitObject<void> beginStop(bool tolerateStopped);

    // A wait that is over when the service reports "stopped"; this object must outlive it.
    sync::WaitObject<void> getStoppedWaitObject() const;

private:
    std::wstring name_;
    // Declared in this order so that the service handle is closed before the manager's.
    ScopedServiceHandle manager_;
    ScopedServiceHandle service_;
};

} // namespace ov
