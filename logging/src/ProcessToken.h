// What the logging library needs to know about the process's token beyond what the foundation's
// token helpers (ov/ProcessUser.h) answer.
#pragma once

#include <ov/Sid.h>

#include <string>
#include <vector>

namespace OvKmfLogging {

// True when the process token's integrity level is low.
bool isLowIntegrityProcess();

// The process user's SID as text ("S-1-5-..."); empty when it cannot be read.
std::wstring processUserSidText();

// The accounts of this process: its token's user and the owner it gives the objects it creates.
// An ordinary user of another account can give an object neither, so what they own is ours. (The
// owners Wine reports are these: the user for files and folders, the default owner for mutexes.)
std::vector<ov::Sid> ownAccountSids();

// The same as pointers for the verdicts of LogTrust.h, valid while sids is unchanged.
std::vector<PSID> sidPointers(const std::vector<ov::Sid>& sids);

} // namespace OvKmfLogging
