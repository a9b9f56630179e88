// The product's Windows service as this run leaves it: registered anew or re-pointed at the
// new executable, stopped before its files are replaced, made to restart after a crash and
// started again at the end; a failed stop or start means a reboot is required.
#pragma once

#include <ov/Handle.h>
#include <ov/Win32.h>

#include <string>

namespace ov {
namespace ul {

// True when a service of that name is registered; throws ov::Win32Exception on any failure
// other than "does not exist".
bool serviceExists(const std::wstring& name);

class UpdatedService {
public:
    // Registers the service (own process, automatic start, local system when account is empty)
    // or updates an existing registration to imagePath. Throws ov::Win32Exception on failure.
    UpdatedService(const std::wstring& name, const std::wstring& imagePath, const std::wstring& account);

    UpdatedService(const UpdatedService&) = delete;
    UpdatedService& operator=(const UpdatedService&) = delete;

    // Stops a service that existed before this run and waits until it has stopped; never throws:
    // a failure is logged and marks a reboot as required.
    void stop();

    // Starts the service; never throws: a failure is logged and marks a reboot as required.
    void start();

    // Has the service manager restart the service twice after a crash (resetting after an
    // hour without one); failures are logged only.
    void makeAutomaticallyRestarteable();

    const std::wstring& name() const noexcept { return name_; }
    bool created() const noexcept { return created_; }
    bool rebootRequired() const noexcept { return rebootRequired_; }

private:
    void update();
    void create();

    DWORD serviceType_;
    std::wstring name_;
    std::wstring imagePath_;
    std::wstring account_;
    DWORD startType_;
    bool created_ = false;
    bool rebootRequired_ = false;
    ScopedServiceHandle manager_;
};

namespace detail {

// Wine accepts failure actions and stores nothing, so a test cannot read them back from the
// service manager; tests put their own function here to see the record that is handed over.
using ChangeServiceConfig2Function = BOOL(WINAPI*)(SC_HANDLE service, DWORD infoLevel, LPVOID info);
extern ChangeServiceConfig2Function changeServiceConfig2;

} // namespace detail

} // namespace ul
} // namespace ov
