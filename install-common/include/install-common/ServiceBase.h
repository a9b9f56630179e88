// Starting a service and waiting, within limits, for it to leave its pending states.
#pragma once

#include <ov/Win32.h>

#include <string>

namespace ov {
namespace ul {

class ServiceBase {
public:
    // Starts the service and waits until it runs (or gives up, at most about 70 s). True only
    // when it ended up running; every failure is logged.
    static bool startService(const std::wstring& name);
};

// Polls the service every 100 ms until it is running or in expectedState, or timeoutMs have
// passed; status holds the last known status and is updated by every query. Returns the last
// known state; failures and the time-out are logged, never thrown.
DWORD WaitForServiceStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status, DWORD expectedState,
                           DWORD timeoutMs);

} // namespace ul
} // namespace ov
