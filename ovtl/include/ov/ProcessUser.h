// Who the running process is: the user of its token, its session, and whether it holds
// administrator rights.
#pragma once

#include <ov/Sid.h>
#include <ov/Win32.h>

#include <memory>

namespace ov {

// The user SID of a token; an empty SID with the failing call's error code otherwise.
Sid tokenUserSid(HANDLE token);

// The user SID of a process (null: the current one); empty with the error code when its
// token cannot be opened or read.
Sid processUserSid(HANDLE process);

// Whether the token (null: the calling thread's effective token) is a member of the builtin
// group with this relative id. A group present only for deny does not count; any failure
// answers false.
bool isMemberOfBuiltinGroup(HANDLE token, DWORD rid);

// Membership in the local Administrators group, as isMemberOfBuiltinGroup does it.
bool isAdmin(HANDLE token);

// The user and session of the current process.
class ProcessUser {
public:
    static constexpr DWORD kUnknownSession = 0xFFFFFFFF;

    // Queries the current process; fields that cannot be read stay empty or unknown.
    static std::unique_ptr<ProcessUser> create();

    // Whether the calling thread's effective token holds administrator rights.
    bool isAdmin() const;

    const Sid& sid() const noexcept { return sid_; }
    DWORD sessionId() const noexcept { return sessionId_; }

private:
    ProcessUser() = default;
    bool fill();

    DWORD sessionId_ = kUnknownSession;
    Sid sid_;
};

} // namespace ov
