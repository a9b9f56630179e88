// Well-known folders from the Explorer folder keys and from the shell, with both root keys
// redirected into sandboxes so the lab's own folder settings stay as they are.
#include <ov/Folders.h>

#include "RegistrySandbox.h"
#include "TestSupport.h"

#include <ov/Win32.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using ov::FolderId;
using ov::getFolderPath;

namespace {

const std::wstring userShellFolders =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::wstring currentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Sets an environment variable of this process for the lifetime of the object.
class ScopedVariable {
public:
    ScopedVariable(const std::wstring& name, const std::wstring& value) : name_(name) {
        wchar_t buffer[32767];
        const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32767);
        if (length > 0 && length < 32767) {
            previous_ = std::wstring(buffer, length);
        }
        SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

std::wstring shellFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    return SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK
               ? std::wstring(buffer)
               : std::wstring();
}

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(machine.ok());
        ASSERT_TRUE(user.ok());
    }

    ovtest::RegistrySandbox machine{HKEY_LOCAL_MACHINE};
    ovtest::RegistrySandbox user{HKEY_CURRENT_USER};
    ScopedVariable root{L"OV_FOLDER_ROOT", L"C:\\ovroot"};
};

// Each folder id reads its own value, from the machine's keys for ids up to 6 and the user's
// from 8 on, with environment references expanded.
TEST_F(FoldersTest, ReadsEachFolderFromItsRegistryValue) {
    const struct {
        FolderId id;
        ovtest::RegistrySandbox& root;
        const std::wstring& key;
        const wchar_t* value;
    } folders[] = {
        {FolderId::CommonAppData, machine, userShellFolders, L"Common AppData"},
        {FolderId::CommonDesktop, machine, userShellFolders, L"Common Desktop"},
        {FolderId::CommonStartMenu, machine, userShellFolders, L"Common Start Menu"},
        {FolderId::CommonPrograms, machine, userShellFolders, L"Common Programs"},
        {FolderId::CommonStartup, machine, userShellFolders, L"Common Startup"},
        {FolderId::ProgramFiles, machine, currentVersion, L"ProgramFilesDir"},
        {FolderId::ProgramFilesX86, machine, currentVersion, L"ProgramFilesDir (x86)"},
        {FolderId::AppData, user, userShellFolders, L"AppData"},
        {FolderId::LocalAppData, user, userShellFolders, L"Local AppData"},
        {FolderId::Desktop, user, userShellFolders, L"Desktop"},
        {FolderId::Personal, user, userShellFolders, L"Personal"},
        {FolderId::MyPictures, user, userShellFolders, L"My Pictures"},
        {FolderId::MyMusic, user, userShellFolders, L"My Music"},
        {FolderId::MyVideo, user, userShellFolders, L"My Video"},
        {FolderId::Favorites, user, userShellFolders, L"Favorites"},
        {FolderId::StartMenu, user, userShellFolders, L"Start Menu"},
        {FolderId::Programs, user, userShellFolders, L"Programs"},
        {FolderId::Startup, user, userShellFolders, L"Startup"},
        {FolderId::Cache, user, userShellFolders, L"Cache"},
    };
    for (const auto& f : folders) {
        ASSERT_TRUE(
            f.root.setString(f.key, f.value, std::wstring(L"%OV_FOLDER_ROOT%\\") + f.value, REG_EXPAND_SZ));
    }
    // A plain string value is expanded as well.
    ASSERT_TRUE(machine.setString(currentVersion, L"ProgramFilesDir", L"%OV_FOLDER_ROOT%\\ProgramFilesDir"));

    for (const auto& f : folders) {
        EXPECT_EQ(getFolderPath(f.id), std::wstring(L"C:\\ovroot\\") + f.value) << static_cast<int>(f.id);
    }
}

// Without "ProgramFilesDir (x86)" the 32-bit program folder is the one program folder there is.
TEST_F(FoldersTest, ProgramFilesX86FallsBackToProgramFilesDir) {
    ASSERT_TRUE(machine.setString(currentVersion, L"ProgramFilesDir", L"C:\\Programs"));
    EXPECT_EQ(getFolderPath(FolderId::ProgramFilesX86), L"C:\\Programs");
}

// With no registry value the shell answers, and the all-users desktop is never empty.
TEST_F(FoldersTest, MissingValueFallsBackToTheShell) {
    ASSERT_TRUE(machine.setString(userShellFolders, L"Common Start Menu", L"C:\\ovroot\\Menu"));
    const std::wstring desktop = getFolderPath(FolderId::CommonDesktop);
    EXPECT_FALSE(desktop.empty());
    EXPECT_EQ(desktop, shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY));
    EXPECT_EQ(getFolderPath(FolderId::AppData), shellFolder(CSIDL_APPDATA));
    EXPECT_FALSE(getFolderPath(FolderId::AppData).empty());
}

// An id that names no folder gives an empty path, whatever the registry holds.
TEST_F(FoldersTest, UnknownIdsGiveNoPath) {
    ASSERT_TRUE(machine.setString(userShellFolders, L"", L"C:\\ovroot\\Default"));
    for (const int id : {7, 21, 255, -1}) {
        EXPECT_EQ(getFolderPath(static_cast<FolderId>(id)), L"") << id;
    }
}

// The profile folder is the user's profile variable, not a registry value.
TEST_F(FoldersTest, ProfileExpandsTheProfileVariable) {
    const ScopedVariable profile(L"USERPROFILE", L"C:\\ovroot\\profile");
    ASSERT_TRUE(user.setString(userShellFolders, L"Profile", L"C:\\wrong"));
    ASSERT_TRUE(user.setString(userShellFolders, L"%USERPROFILE%", L"C:\\wrong"));
    EXPECT_EQ(getFolderPath(FolderId::Profile), L"C:\\ovroot\\profile");
}

} // namespace
