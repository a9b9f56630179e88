#include <ov/Handle.h>
#include <ov/ProcessUser.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

// An impersonation token of this process with the Administrators group for deny only, as a
// member of the group has without elevation.
ov::ScopedHandle nonAdminImpersonationToken() {
    ov::ScopedHandle self;
    ov::ScopedHandle restricted;
    ov::ScopedHandle impersonation;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(admins);
    SID_AND_ATTRIBUTES disable = {admins, 0};
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, self.put()) &&
        CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) &&
        CreateRestrictedToken(self.get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.put())) {
        DuplicateToken(restricted.get(), SecurityImpersonation, impersonation.put());
    }
    return impersonation;
}

} // namespace

// Null and garbage sources give empty SIDs told apart by their error codes; a copy is the same
// SID and moving leaves the source empty.
TEST(SidTest, SourcesCopiesAndMoves) {
    EXPECT_FALSE(ov::Sid(nullptr).hasValue());
    EXPECT_EQ(0u, ov::Sid(nullptr).error());
    unsigned char garbage[16] = {0xFF, 0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    const ov::Sid invalid(static_cast<PSID>(garbage));
    EXPECT_FALSE(invalid.hasValue());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), invalid.error());

    ov::Sid user = ov::processUserSid(nullptr);
    ASSERT_TRUE(user.hasValue());
    EXPECT_TRUE(EqualSid(user.get(), ov::Sid(user.get()).get()));
    const ov::Sid moved(std::move(user));
    EXPECT_TRUE(moved.hasValue());
    EXPECT_FALSE(user.hasValue());
}

// The process user has a SID and a known session; tokens that cannot be read give empty SIDs
// carrying the failing call's error.
TEST(ProcessUserTest, UserAndSession) {
    const std::unique_ptr<ov::ProcessUser> user = ov::ProcessUser::create();
    ASSERT_TRUE(user->sid().hasValue());
    EXPECT_NE(ov::ProcessUser::kUnknownSession, user->sessionId());

    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), ov::tokenUserSid(nullptr).error());
    // A handle that is not a process handle has no token to open.
    const ov::ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const ov::Sid denied = ov::processUserSid(event.get());
    EXPECT_FALSE(denied.hasValue());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), denied.error());
}

// Lab processes are elevated administrators; a token with the Administrators group for deny only
// is not, given directly or as the thread's effective token.
TEST(AdminTest, OnlyTheElevatedTokenIsAdmin) {
    EXPECT_TRUE(ov::isAdmin(nullptr));
    EXPECT_TRUE(ov::ProcessUser::create()->isAdmin());

    const ov::ScopedHandle token = nonAdminImpersonationToken();
    ASSERT_TRUE(token);
    EXPECT_FALSE(ov::isAdmin(token.get()));
    ASSERT_TRUE(SetThreadToken(nullptr, token.get()));
    const bool asImpersonated = ov::ProcessUser::create()->isAdmin();
    RevertToSelf();
    EXPECT_FALSE(asImpersonated);
    EXPECT_TRUE(ov::isAdmin(nullptr));
}
