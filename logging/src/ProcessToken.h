// What the logging library needs to know about the process's token beyond what the foundation's
// token helpers (ov/ProcessUser.h) answer.
#pragma once

#include <string>

namespace OvKmfLogging {

// True when the process token's integrity level is low.
bool isLowIntegrityProcess();

// The process user's SID as text ("S-1-5-..."); empty when it cannot be read.
std::wstring processUserSidText();

} // namespace OvKmfLogging
