#include <ov/ProcessUser.h>

#include <ov/Handle.h>

#include <vector>

namespace ov {

Sid tokenUserSid(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return Sid::failure(error);
    }
    std::vector<unsigned char> buffer(size, 0);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return Sid::failure(GetLastError());
    }
    const TOKEN_USER* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    return Sid(user->User.Sid);
}

Sid processUserSid(HANDLE process) {
    ScopedHandle token;
    if (!OpenProcessToken(process != nullptr ? process : GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return Sid::failure(GetLastError());
    }
    return tokenUserSid(token.get());
}

bool isMemberOfBuiltinGroup(HANDLE token, DWORD rid) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID group = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0,
                                  &group)) {
        return false;
    }
    BOOL member = FALSE;
    const bool answered = CheckTokenMembership(token, group, &member) != FALSE;
    FreeSid(group);
    return answered && member != FALSE;
}

bool isAdmin(HANDLE token) {
    return isMemberOfBuiltinGroup(token, DOMAIN_ALIAS_RID_ADMINS);
}

std::unique_ptr<ProcessUser> ProcessUser::create() {
    std::unique_ptr<ProcessUser> user(new ProcessUser());
    user->fill(); // a user without SID or session is still usable for the rights check
    return user;
}

bool ProcessUser::isAdmin() const {
    return ov::isAdmin(nullptr);
}

bool ProcessUser::fill() {
    sid_ = processUserSid(GetCurrentProcess());
    if (!sid_.hasValue()) {
        return false;
    }
    DWORD session = kUnknownSession;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session)) {
        sessionId_ = session;
    }
    return true;
}

} // namespace ov
