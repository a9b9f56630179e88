// What the logging library needs to know about the process's token.
#pragma once

#include <string>

namespace OvKmfLogging {

// Membership of BUILTIN\Administrators, enabled in the current thread's token; false on failure.
bool isAdministrator();

// True when the process token's integrity level is low.
bool isLowIntegrityProcess();

// The process user's SID as text ("S-1-5-..."); empty when it cannot be read.
std::wstring processUserSid();

} // namespace OvKmfLogging
