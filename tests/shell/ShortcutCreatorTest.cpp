// Shortcuts made and removed for real under Wine: common desktop and start-menu Programs folder,
// read back through the shell, with the previous installation's name in the product key.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include <install-common/ShortcutCreator.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

namespace {

using shelltest::exists;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::SizeIs;

const wchar_t kProductKey[] = L"SOFTWARE\\Orvanta\\Kelvara";
const wchar_t kModelId[] = L"Orvanta.Kelvara.Client";

class ShortcutCreatorTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_FALSE(desktop.empty());
        ASSERT_FALSE(programs.empty());
        removeShortcuts();
        shelltest::deleteValue(kProductKey, L"ProductName");
        ASSERT_TRUE(shelltest::setString(kProductKey, L"AppPath", install.path()));
        ASSERT_TRUE(shelltest::touchFile(client));
        ASSERT_TRUE(shelltest::touchFile(supportTool));
    }

    void TearDown() override {
        removeShortcuts();
        CoUninitialize();
    }

    // Every file and folder a test here may leave in the common folders.
    void removeShortcuts() {
        shelltest::removeAll(
            {desktop + L"\\Kelvara.lnk", desktop + L"\\Kelvara Beta.lnk",
             programs + L"\\Kelvara\\Kelvara.lnk", programs + L"\\Kelvara\\Support Tool.lnk",
             programs + L"\\Kelvara Beta\\Kelvara Beta.lnk", programs + L"\\Kelvara Beta\\Support Tool.lnk",
             programs + L"\\Support Tool.lnk", programs + L"\\Orvanta\\Kelvara\\Kelvara.lnk",
             programs + L"\\Orvanta\\Kelvara\\Support Tool.lnk",
             programs + L"\\Orvanta\\Kelvara\\Orvanta\\Kelvara.lnk", programs + L"\\Orvanta\\Other.lnk",
             desktop + L"\\Orvanta\\Kelvara.lnk"},
            {programs + L"\\Kelvara", programs + L"\\Kelvara Beta", programs + L"\\Orvanta\\Kelvara\\Orvanta",
             programs + L"\\Orvanta\\Kelvara", programs + L"\\Orvanta"});
    }

    void expectShortcut(const std::wstring& path, const std::wstring& target) {
        const auto shortcut = shelltest::loadShortcut(path);
        ASSERT_TRUE(shortcut.has_value()) << ovtest::toUtf8(path);
        EXPECT_EQ(shortcut->target, target);
        EXPECT_EQ(shortcut->workingDirectory, install.path());
        EXPECT_EQ(shortcut->iconPath, target);
        EXPECT_EQ(shortcut->iconIndex, 0);
        EXPECT_EQ(shortcut->arguments, L"");
    }

    std::string u8(const std::wstring& text) { return ovtest::toUtf8(text); }

    shelltest::RegistryValueRestorer productName{kProductKey, L"ProductName"};
    shelltest::RegistryValueRestorer appPath{kProductKey, L"AppPath"};
    shelltest::LogCapture log;
    ovtest::TempDir install{L"kelvara-install"};
    const std::wstring client = install / L"Kelvara.exe";
    const std::wstring supportTool = install / L"ovdiag_32.exe";
    const std::wstring desktop = shelltest::commonDesktop();
    const std::wstring programs = shelltest::commonPrograms();
};

// A first installation: three shortcuts of the shipped names, pointing at the installed files.
TEST_F(ShortcutCreatorTest, FirstInstallationCreatesDesktopClientAndSupportToolShortcuts) {
    ShortcutCreator creator;
    EXPECT_TRUE(creator.UpdateShortcuts(L"Kelvara", kModelId, client, supportTool));

    expectShortcut(desktop + L"\\Kelvara.lnk", client);
    expectShortcut(programs + L"\\Kelvara\\Kelvara.lnk", client);
    expectShortcut(programs + L"\\Kelvara\\Support Tool.lnk", supportTool);
    EXPECT_TRUE(log.contains(" I: ShortcutCreator::RemoveOldShortcuts: Previous installation not detected: "
                             "ProductName is missing"));
    EXPECT_THAT(log.matching(" I: ShortcutCreator::CreateShortcuts: Successfully created shortcut: "),
                SizeIs(3));
    EXPECT_TRUE(log.contains(" I: ::SaveShortcut: Saving " + u8(programs) + "\\Kelvara\\Support Tool.lnk"));
    EXPECT_THAT(log.matching("*F:"), IsEmpty());
    EXPECT_THAT(log.matching("*E:"), IsEmpty());
}

// Installing over an existing start-menu folder and shortcuts succeeds and rewrites them.
TEST_F(ShortcutCreatorTest, SecondRunOverExistingStartMenuFolderSucceeds) {
    ShortcutCreator creator;
    ASSERT_TRUE(creator.CreateShortcuts(L"Kelvara", kModelId, client, supportTool));
    EXPECT_TRUE(creator.CreateShortcuts(L"Kelvara", kModelId, client, supportTool));

    EXPECT_THAT(log.matching("Creating start menu folder failed"), IsEmpty());
    EXPECT_THAT(log.matching(" I: ShortcutCreator::CreateShortcuts: Successfully created shortcut: "),
                SizeIs(6));
    expectShortcut(programs + L"\\Kelvara\\Support Tool.lnk", supportTool);
}

// Without an application name the client shortcuts cannot be named; the support tool's still
// lands, directly in Programs, and the run goes on.
TEST_F(ShortcutCreatorTest, EmptyApplicationNameMakesOnlyTheSupportToolShortcut) {
    ShortcutCreator creator;
    EXPECT_TRUE(creator.CreateShortcuts(L"", kModelId, client, supportTool));

    EXPECT_THAT(log.matching("*E: ShortcutCreator::Create: Customization missing for shortcut name"),
                SizeIs(2));
    EXPECT_THAT(
        log.matching("*F: ShortcutCreator::CreateShortcuts: Failed to create shortcut: " + u8(client) + " "),
        SizeIs(2));
    expectShortcut(programs + L"\\Support Tool.lnk", supportTool);
    EXPECT_FALSE(exists(desktop + L"\\.lnk"));
    EXPECT_FALSE(exists(programs + L"\\.lnk"));
}

// A missing support tool is skipped with a warning; the client shortcuts are made.
TEST_F(ShortcutCreatorTest, EmptySupportToolPathSkipsOnlyThatShortcut) {
    ShortcutCreator creator;
    EXPECT_TRUE(creator.CreateShortcuts(L"Kelvara", kModelId, client, L""));

    EXPECT_THAT(log.matching(".W: ShortcutCreator::CreateShortcuts: Failed to get target path for Kelvara"),
                SizeIs(1));
    EXPECT_TRUE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_TRUE(exists(programs + L"\\Kelvara\\Kelvara.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara\\Support Tool.lnk"));
}

// Without the installation path no shortcut is made at all and the update reports failure.
TEST_F(ShortcutCreatorTest, MissingInstallationPathCreatesNoShortcut) {
    shelltest::deleteValue(kProductKey, L"AppPath");
    ShortcutCreator creator;
    EXPECT_FALSE(creator.UpdateShortcuts(L"Kelvara", kModelId, client, supportTool));

    EXPECT_THAT(log.matching("*F: ShortcutCreator::CreateShortcuts: Failed to get installation path"),
                SizeIs(1));
    EXPECT_THAT(log.matching("*E: ShortcutCreator::UpdateShortcuts: Creating shortcuts failed"), SizeIs(1));
    EXPECT_FALSE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara\\Kelvara.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara\\Support Tool.lnk"));
}

// An upgrade from a product of another name removes its shortcuts and folder, then makes the new.
TEST_F(ShortcutCreatorTest, UpgradeRemovesShortcutsOfThePreviousProductName) {
    {
        ShortcutCreator previous;
        ASSERT_TRUE(previous.CreateShortcuts(L"Kelvara Beta", kModelId, client, supportTool));
    }
    ASSERT_TRUE(exists(programs + L"\\Kelvara Beta\\Support Tool.lnk"));
    ASSERT_TRUE(shelltest::setString(kProductKey, L"ProductName", L"Kelvara Beta"));

    ShortcutCreator creator;
    EXPECT_TRUE(creator.UpdateShortcuts(L"Kelvara", kModelId, client, supportTool));

    EXPECT_FALSE(exists(desktop + L"\\Kelvara Beta.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara Beta"));
    EXPECT_TRUE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_TRUE(exists(programs + L"\\Kelvara\\Support Tool.lnk"));
    EXPECT_TRUE(
        log.contains(" I: ShortcutCreator::RemoveOldShortcuts: Deleting desktop shortcut Kelvara Beta.lnk"));
    EXPECT_TRUE(log.contains(" I: ShortcutCreator::RemoveOldShortcuts: Deleting start menu ovdiag shortcut " +
                             u8(programs) + "\\Kelvara Beta\\Support Tool.lnk"));
    EXPECT_THAT(log.matching("Cannot delete"), IsEmpty());
}

// Without a previous product name nothing is removed, not even a shortcut of the same name.
TEST_F(ShortcutCreatorTest, NoPreviousProductNameRemovesNothing) {
    ASSERT_TRUE(shelltest::touchFile(desktop + L"\\Kelvara.lnk"));
    ShortcutCreator creator;
    creator.RemoveOldShortcuts();

    EXPECT_TRUE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_THAT(log.records(),
                ElementsAre(" I: ::ReadKelvaraRegistryValue: Cannot find registry value 'ProductName'",
                            " I: ShortcutCreator::RemoveOldShortcuts: Previous installation not detected: "
                            "ProductName is missing"));
}

class NestedProductNameTest : public ShortcutCreatorTest {
protected:
    void SetUp() override {
        ShortcutCreatorTest::SetUp();
        // What an installation under that name left: the client links could not be saved (their
        // name holds the folder again), the support tool's is in Programs\Orvanta\Kelvara.
        {
            ShortcutCreator previous;
            ASSERT_TRUE(previous.CreateShortcuts(L"Orvanta\\Kelvara", kModelId, client, supportTool));
        }
        ASSERT_TRUE(exists(programs + L"\\Orvanta\\Kelvara\\Support Tool.lnk"));
        ASSERT_TRUE(shelltest::setString(kProductKey, L"ProductName", L"Orvanta\\Kelvara"));
    }
};

// A company\product name: the product folder goes, then the company folder it leaves empty.
TEST_F(NestedProductNameTest, RemovesTheProductFolderAndItsEmptyParent) {
    ShortcutCreator creator;
    creator.RemoveOldShortcuts();

    EXPECT_FALSE(exists(programs + L"\\Orvanta\\Kelvara"));
    EXPECT_FALSE(exists(programs + L"\\Orvanta"));
    EXPECT_TRUE(exists(programs));
    EXPECT_TRUE(
        log.contains(" I: ShortcutCreator::DeleteParentFolderIfEmpty: Removing start menu folder Orvanta "
                     "if it's empty"));
}

// The company folder stays when it holds shortcuts of something else.
TEST_F(NestedProductNameTest, KeepsAParentThatHoldsSomethingElse) {
    ASSERT_TRUE(shelltest::touchFile(programs + L"\\Orvanta\\Other.lnk"));
    ShortcutCreator creator;
    creator.RemoveOldShortcuts();

    EXPECT_FALSE(exists(programs + L"\\Orvanta\\Kelvara"));
    EXPECT_TRUE(exists(programs + L"\\Orvanta\\Other.lnk"));
    EXPECT_THAT(
        log.matching(" I: ShortcutCreator::DeleteParentFolderIfEmpty: Failed or folder was not empty: 145"),
        SizeIs(1));
}

// A creator whose shell folders cannot be found, as when the lookups fail.
class NoShellFolders : public ShortcutCreator {
public:
    std::wstring GetDesktopFolderPath() override { return {}; }
    std::wstring GetStartMenuFolderPath() override { return {}; }
};

// When the folders are unknown nothing is created or deleted relative to the current folder.
TEST_F(ShortcutCreatorTest, UnknownShellFoldersTouchNothingInTheCurrentFolder) {
    ovtest::TempDir current{L"kelvara-cwd"};
    ASSERT_TRUE(shelltest::createFolder(current / L"Kelvara"));
    ASSERT_TRUE(shelltest::touchFile(current / L"Kelvara.lnk"));
    ASSERT_TRUE(shelltest::touchFile(current / L"Kelvara\\Kelvara.lnk"));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(current.path().c_str()));
    ASSERT_TRUE(shelltest::setString(kProductKey, L"ProductName", L"Kelvara"));

    NoShellFolders creator;
    creator.RemoveOldShortcuts();
    const bool created = creator.CreateShortcuts(L"Kelvara", kModelId, client, supportTool);
    SetCurrentDirectoryW(previous);

    EXPECT_FALSE(created);
    EXPECT_TRUE(
        log.contains("*E: ShortcutCreator::CreateStartMenuFolder: Creating start menu folder failed: 161"));
    EXPECT_TRUE(exists(current / L"Kelvara.lnk"));
    EXPECT_TRUE(exists(current / L"Kelvara\\Kelvara.lnk"));
    EXPECT_FALSE(exists(current / L"Kelvara\\Support Tool.lnk"));
}

// Each creator pairs its COM initialisation: on a fresh thread COM is gone again afterwards, and
// on a thread already in the multi-threaded apartment (where its own call fails) it leaves the
// caller's initialisation alone.
TEST(ShortcutCreatorCom, UninitialisesOnlyWhatItInitialised) {
    HRESULT afterOwn = E_FAIL;
    HRESULT afterForeign = E_FAIL;
    std::thread([&] {
        { ShortcutCreator creator; }
        afterOwn = CoInitializeEx(nullptr, COINIT_MULTITHREADED); // S_OK: nothing left initialised
        { ShortcutCreator creator; }
        afterForeign = CoInitializeEx(nullptr, COINIT_MULTITHREADED); // S_FALSE: still initialised
        CoUninitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(afterOwn, S_OK);
    EXPECT_EQ(afterForeign, S_FALSE);
}

// Renaming never replaces an existing file, yet reports an existing destination as success.
TEST_F(ShortcutCreatorTest, RenameKeepsAnExistingDestination) {
    ovtest::TempDir folder{L"kelvara-rename"};
    ASSERT_TRUE(ovtest::writeFile(folder / L"a.lnk", "a"));
    ASSERT_TRUE(ovtest::writeFile(folder / L"c.lnk", "c"));
    ShortcutCreator creator;

    EXPECT_TRUE(creator.Rename(folder / L"a.lnk", folder / L"b.lnk"));
    EXPECT_TRUE(creator.Rename(folder / L"c.lnk", folder / L"b.lnk"));
    EXPECT_FALSE(creator.Rename(folder / L"missing.lnk", folder / L"d.lnk"));

    EXPECT_EQ(ovtest::readFile(folder / L"b.lnk"), "a");
    EXPECT_TRUE(exists(folder / L"c.lnk"));
    EXPECT_THAT(log.matching("ShortcutCreator::Rename"),
                ElementsAre(" I: ShortcutCreator::Rename: MoveFileEx('" + u8(folder / L"c.lnk") + "', '" +
                                u8(folder / L"b.lnk") + "') failed with 183",
                            " I: ShortcutCreator::Rename: Destination already exists. Returning true.",
                            " I: ShortcutCreator::Rename: MoveFileEx('" + u8(folder / L"missing.lnk") +
                                "', '" + u8(folder / L"d.lnk") + "') failed with 2"));
}

} // namespace
