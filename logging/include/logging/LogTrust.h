// What an elevated logger may trust of what it finds on the machine: folder levels and a lock
// that an ordinary user may have prepared before it. Decisions over what the system reports,
// without I/O, so that what Wine cannot produce (file ACLs, junctions) is tested from tables.
#pragma once

#include <ov/Win32.h>

#include <vector>

namespace OvKmfLogging {

enum class LevelVerdict {
    Trusted,
    ReparsePoint, // a junction or link could send the log (and its rotation) anywhere
    NotADirectory,
    ForeignOwner,  // its owner could grant itself any access at any time
    NoDacl,        // a missing (null) DACL grants everyone everything
    ForeignWriter, // an ACE lets someone else add, change, delete or re-secure what it holds
};

// SYSTEM, Administrators, or one of ownAccounts: the accounts of this process, whose objects
// an ordinary other user cannot make (see ownAccountSids).
bool isTrustedSid(PSID sid, const std::vector<PSID>& ownAccounts);

// A folder level is trusted when it is a plain directory (not a reparse point), owned by a
// trusted account, and no ACE that applies to the folder itself allows anyone else to write,
// append, add files or folders, delete children, delete it, or change its DACL or owner.
// Inherit-only ACEs are left aside: the log's own levels and files never inherit.
LevelVerdict judgeLevel(DWORD attributes, PSECURITY_DESCRIPTOR descriptor,
                        const std::vector<PSID>& ownAccounts);

// Whether an object found under the log lock's name is owned by a trusted account.
bool hasTrustedOwner(PSECURITY_DESCRIPTOR descriptor, const std::vector<PSID>& ownAccounts);

// A log file is written only when it has one name and is no reparse point: appending to a file
// with another name elsewhere, or through a link, would write wherever that leads.
bool isPlainLogFile(DWORD attributes, DWORD linkCount);

} // namespace OvKmfLogging
