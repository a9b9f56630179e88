#include "ChildTasks.h"

#include <ov/Handle.h>
#include <ov/ModulePaths.h>
#include <ov/ProcessUser.h>
#include <ov/Win32.h>

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

// An impersonation token of this process without the Administrators group.
ov::ScopedHandle nonAdminImpersonationToken() {
    ov::ScopedHandle self;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, self.put())) {
        return {};
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &admins)) {
        return {};
    }
    SID_AND_ATTRIBUTES disable = {admins, 0};
    ov::ScopedHandle restricted;
    CreateRestrictedToken(self.get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.put());
    FreeSid(admins);
    ov::ScopedHandle impersonation;
    if (restricted) {
        DuplicateToken(restricted.get(), SecurityImpersonation, impersonation.put());
    }
    return impersonation;
}

} // namespace

// Null and garbage sources give empty SIDs, told apart by their error codes.
TEST(SidTest, NullAndInvalidSources) {
    const ov::Sid none(nullptr);
    EXPECT_FALSE(none.hasValue());
    EXPECT_EQ(0u, none.error());

    unsigned char garbage[16] = {0xFF, 0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    const ov::Sid invalid(static_cast<PSID>(garbage));
    EXPECT_FALSE(invalid.hasValue());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), invalid.error());
    EXPECT_EQ(nullptr, invalid.get());
}

// A copied SID is the same SID; moving leaves the source empty.
TEST(SidTest, CopyAndMove) {
    ov::Sid user = ov::processUserSid(nullptr);
    ASSERT_TRUE(user.hasValue());
    ASSERT_TRUE(IsValidSid(user.get()));
    const ov::Sid copy(user.get());
    EXPECT_TRUE(EqualSid(user.get(), copy.get()));

    const ov::Sid moved(std::move(user));
    EXPECT_TRUE(moved.hasValue());
    EXPECT_FALSE(user.hasValue());
}

// The process user is the user of our own token, with a known session.
TEST(ProcessUserTest, CurrentProcess) {
    const std::unique_ptr<ov::ProcessUser> user = ov::ProcessUser::create();
    ASSERT_TRUE(user->sid().hasValue());
    EXPECT_EQ(0u, user->sid().error());
    EXPECT_NE(ov::ProcessUser::kUnknownSession, user->sessionId());

    ov::ScopedHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()));
    EXPECT_TRUE(EqualSid(user->sid().get(), ov::tokenUserSid(token.get()).get()));
}

// Tokens that cannot be read give empty SIDs carrying the failing call's error.
TEST(ProcessUserTest, UnreadableTokens) {
    const ov::Sid noToken = ov::tokenUserSid(nullptr);
    EXPECT_FALSE(noToken.hasValue());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), noToken.error());

    // A handle that is not a process handle has no token to open.
    ov::ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    const ov::Sid denied = ov::processUserSid(event.get());
    EXPECT_FALSE(denied.hasValue());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), denied.error());
}

// Every lab process is an elevated administrator.
TEST(AdminTest, LabProcessIsAdmin) {
    EXPECT_TRUE(ov::isAdmin(nullptr));
    EXPECT_TRUE(ov::ProcessUser::create()->isAdmin());
}

// A token without the Administrators group is not an administrator, given directly or as
// the thread's effective token.
TEST(AdminTest, RestrictedTokenIsNotAdmin) {
    const ov::ScopedHandle token = nonAdminImpersonationToken();
    ASSERT_TRUE(token);
    EXPECT_FALSE(ov::isAdmin(token.get()));

    ASSERT_TRUE(SetThreadToken(nullptr, token.get()));
    const bool asImpersonated = ov::ProcessUser::create()->isAdmin();
    RevertToSelf();
    EXPECT_FALSE(asImpersonated);
    EXPECT_TRUE(ov::isAdmin(nullptr));
}

// A child started with a restricted token is not an administrator.
TEST(AdminTest, RestrictedChildIsNotAdmin) {
    ovtest::ProcessOptions options;
    options.environment.set[kChildTaskVariable] = kTaskReportAdmin;
    options.asNonAdministrator = true;
    const std::wstring self = ovtest::quote(ov::getModuleFileName(nullptr));
    EXPECT_EQ(static_cast<unsigned long>(kChildIsNotAdmin), ovtest::runProcess(self, options));

    options.asNonAdministrator = false;
    EXPECT_EQ(static_cast<unsigned long>(kChildIsAdmin), ovtest::runProcess(self, options));
}
