// Shortcuts made and removed for real under Wine: common desktop and start-menu Programs folder,
// read back through the shell, with the previous installation's name in the product key.
#include "ShortcutTestBase.h"

#include <install-common/ComPtr.h>
#include <install-common/ShortcutCreator.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objidl.h>

namespace {

using shelltest::kModelId;
using testing::IsEmpty;
using testing::SizeIs;

class ShortcutCreatorTest : public shelltest::ShortcutTestBase {
protected:
    // The shortcut file as the shell loads it: target, working folder and icon.
    void expectShortcut(const std::wstring& file, const std::wstring& target) {
        SCOPED_TRACE(ovtest::toUtf8(file));
        ComPtr<IShellLinkW> link;
        ComPtr<IPersistFile> persist;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkW, link.putVoid())));
        ASSERT_TRUE(SUCCEEDED(link.queryInterface(persist)) &&
                    SUCCEEDED(persist->Load(file.c_str(), STGM_READ)));
        wchar_t path[MAX_PATH] = {};
        wchar_t folder[MAX_PATH] = {};
        wchar_t icon[MAX_PATH] = {};
        int iconIndex = -1;
        link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetIconLocation(icon, MAX_PATH, &iconIndex);
        EXPECT_EQ(target, std::wstring(path));
        EXPECT_EQ(install.path(), std::wstring(folder));
        EXPECT_EQ(target + L",0", std::wstring(icon) + L"," + std::to_wstring(iconIndex));
    }

    size_t created() const {
        return log.matching(" I: ShortcutCreator::CreateShortcuts: Successfully created shortcut: ").size();
    }

    ShortcutCreator creator;
};

// A first installation: three shortcuts of the shipped names, pointing at the installed files.
TEST_F(ShortcutCreatorTest, FirstInstallationCreatesDesktopClientAndSupportToolShortcuts) {
    EXPECT_TRUE(creator.UpdateShortcuts(L"Kelvara", kModelId, client, supportTool));

    expectShortcut(desktop + L"\\Kelvara.lnk", client);
    expectShortcut(programs + L"\\Kelvara\\Kelvara.lnk", client);
    expectShortcut(programs + L"\\Kelvara\\Support Tool.lnk", supportTool);
    EXPECT_TRUE(log.contains(" I: ShortcutCreator::RemoveOldShortcuts: Previous installation not detected: "
                             "ProductName is missing"));
    EXPECT_EQ(3u, created());
    EXPECT_THAT(log.records(), testing::Not(testing::Contains(testing::StartsWith("*"))));
}

// Installing over an existing start-menu folder and shortcuts succeeds and rewrites them.
TEST_F(ShortcutCreatorTest, SecondRunOverExistingStartMenuFolderSucceeds) {
    ASSERT_TRUE(creator.CreateShortcuts(L"Kelvara", kModelId, client, supportTool));
    EXPECT_TRUE(creator.CreateShortcuts(L"Kelvara", kModelId, client, supportTool));

    EXPECT_THAT(log.matching("Creating start menu folder failed"), IsEmpty());
    EXPECT_EQ(6u, created());
    expectShortcut(programs + L"\\Kelvara\\Support Tool.lnk", supportTool);
}

// Without an application name the client shortcuts cannot be named; the support tool's still
// lands, directly in Programs, and the run goes on.
TEST_F(ShortcutCreatorTest, EmptyApplicationNameMakesOnlyTheSupportToolShortcut) {
    EXPECT_TRUE(creator.CreateShortcuts(L"", kModelId, client, supportTool));

    EXPECT_THAT(log.matching("*E: ShortcutCreator::Create: Customization missing for shortcut name"),
                SizeIs(2));
    expectShortcut(programs + L"\\Support Tool.lnk", supportTool);
    EXPECT_FALSE(exists(desktop + L"\\.lnk"));
    EXPECT_FALSE(exists(programs + L"\\.lnk"));
}

// A missing support tool is skipped with a warning; the client shortcuts are made.
TEST_F(ShortcutCreatorTest, EmptySupportToolPathSkipsOnlyThatShortcut) {
    EXPECT_TRUE(creator.CreateShortcuts(L"Kelvara", kModelId, client, L""));

    EXPECT_TRUE(log.contains(".W: ShortcutCreator::CreateShortcuts: Failed to get target path for Kelvara"));
    EXPECT_TRUE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_TRUE(exists(programs + L"\\Kelvara\\Kelvara.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara\\Support Tool.lnk"));
}

// Without the installation path no shortcut is made at all and the update reports failure.
TEST_F(ShortcutCreatorTest, MissingInstallationPathCreatesNoShortcut) {
    deleteProductValue(L"AppPath");
    EXPECT_FALSE(creator.UpdateShortcuts(L"Kelvara", kModelId, client, supportTool));

    EXPECT_TRUE(log.contains("*F: ShortcutCreator::CreateShortcuts: Failed to get installation path"));
    EXPECT_FALSE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara\\Kelvara.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara\\Support Tool.lnk"));
}

// An upgrade from a product of another name removes its shortcuts and folder, then makes the new.
TEST_F(ShortcutCreatorTest, UpgradeRemovesShortcutsOfThePreviousProductName) {
    ASSERT_TRUE(creator.CreateShortcuts(L"Kelvara Beta", kModelId, client, supportTool));
    ASSERT_TRUE(exists(programs + L"\\Kelvara Beta\\Kelvara Beta.lnk"));
    ASSERT_TRUE(setProductValue(L"ProductName", L"Kelvara Beta"));

    EXPECT_TRUE(creator.UpdateShortcuts(L"Kelvara", kModelId, client, supportTool));

    EXPECT_FALSE(exists(desktop + L"\\Kelvara Beta.lnk"));
    EXPECT_FALSE(exists(programs + L"\\Kelvara Beta"));
    EXPECT_TRUE(exists(desktop + L"\\Kelvara.lnk"));
    EXPECT_TRUE(exists(programs + L"\\Kelvara\\Support Tool.lnk"));
    EXPECT_THAT(log.matching("Cannot delete"), IsEmpty());
}

// A company\product name: the product folder goes, then the company folder when that is empty;
// one that holds something else stays.
TEST_F(ShortcutCreatorTest, NestedProductNameRemovesBothLevelsWhenEmpty) {
    ASSERT_TRUE(setProductValue(L"ProductName", L"Orvanta\\Kelvara"));
    for (const bool holdsOther : {false, true}) {
        SCOPED_TRACE(holdsOther);
        // What an installation under that name left: the client links could not be saved (their
        // name holds the folder again), the support tool's is in Programs\Orvanta\Kelvara.
        ASSERT_TRUE(creator.CreateShortcuts(L"Orvanta\\Kelvara", kModelId, client, supportTool));
        ASSERT_TRUE(exists(programs + L"\\Orvanta\\Kelvara\\Support Tool.lnk"));
        if (holdsOther) {
            ASSERT_TRUE(ovtest::writeFile(programs + L"\\Orvanta\\Other.lnk", "other"));
        }

        creator.RemoveOldShortcuts();

        EXPECT_FALSE(exists(programs + L"\\Orvanta\\Kelvara"));
        EXPECT_EQ(holdsOther, exists(programs + L"\\Orvanta\\Other.lnk"));
        EXPECT_EQ(holdsOther, exists(programs + L"\\Orvanta"));
        EXPECT_TRUE(exists(programs));
    }
}

} // namespace
