// What the shortcuts hand to a link's property store: the app model id on the client's shortcuts,
// the start-pin option on all three. Wine accepts the properties but keeps none of them in the
// saved file, so a recording store stands in for the link's own. Also the rules for link names and
// paths that no installation reaches.
#include "TestSupport.h"

#include <install-common/ShortcutCreator.h>
#include <install-common/ShortcutPaths.h>
#include <ov/DirectoryTree.h>
#include <ov/Folders.h>
#include <ov/Str.h>

#include <gtest/gtest.h>
#include <propsys.h>

#include <string>
#include <vector>

namespace {

const GUID kAppUserModel = {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}};
std::vector<std::string> calls; // "<property id> <value>" for each value set, "Commit"
HRESULT setValueResult = S_OK;

struct RecordingStore : IPropertyStore {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY, PROPVARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override {
        const std::string text = value.vt == VT_LPWSTR ? ov::str::wideToUtf8(value.pwszVal)
                                 : value.vt == VT_I4   ? std::to_string(value.lVal)
                                                       : "?";
        calls.push_back((key.fmtid == kAppUserModel ? "" : "foreign ") + std::to_string(key.pid) + " " +
                        text);
        return setValueResult;
    }
    HRESULT STDMETHODCALLTYPE Commit() override {
        calls.push_back("Commit");
        return S_OK;
    }
} store;

HRESULT handOutStore(IShellLinkW*, IPropertyStore** result) {
    *result = &store;
    return S_OK;
}

class ShortcutProperties : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.ok());
        ASSERT_TRUE(sandbox.setString(L"SOFTWARE\\Orvanta\\Kelvara", L"AppPath", folder.path()));
        SetPropertyStoreQuery(&handOutStore);
    }
    void TearDown() override {
        SetPropertyStoreQuery(nullptr);
        DeleteFileW((ov::getFolderPath(ov::FolderId::CommonDesktop) + L"\\OvUnit.lnk").c_str());
        ov::removeDirectoryTree(ov::getFolderPath(ov::FolderId::CommonPrograms) + L"\\OvUnit", false);
        calls.clear();
        setValueResult = S_OK;
    }
    ovtest::RegistrySandbox sandbox;
    ovtest::TempDir folder{L"ovshortcuts"};
    ShortcutCreator creator;
};

} // namespace

// Both client shortcuts carry the app model id and may be pinned (0); the support tool's has no
// id and asks not to be pinned at installation (1). Each value is committed.
TEST_F(ShortcutProperties, ClientsStampedSupportToolNotPinned) {
    EXPECT_TRUE(creator.CreateShortcuts(L"OvUnit", L"Orvanta.Unit", folder / L"Kelvara.exe",
                                        folder / L"ovdiag_32.exe"));
    const std::vector<std::string> client = {"5 Orvanta.Unit", "Commit", "12 0", "Commit"};
    std::vector<std::string> expected = client;
    expected.insert(expected.end(), client.begin(), client.end());
    expected.insert(expected.end(), {"12 1", "Commit"});
    EXPECT_EQ(expected, calls);
}

// A refused value is not committed, and the shortcut is still saved.
TEST_F(ShortcutProperties, RefusedValueIsNotCommitted) {
    setValueResult = E_FAIL;
    EXPECT_TRUE(
        creator.Create(folder / L"Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L"Id"));
    EXPECT_EQ((std::vector<std::string>{"5 Id", "12 0"}), calls);
    EXPECT_TRUE(ovtest::fileExists(folder / L"Kelvara.lnk"));
}

// Only an exact ".lnk" ending a longer name counts as the extension; a join that does not fit a
// path buffer gives no path rather than a shorter one pointing elsewhere.
TEST(ShortcutPaths, LinkNamesAndLongPaths) {
    EXPECT_EQ(L"Kelvara.LNK.lnk", EnsureLnkExtension(L"Kelvara.LNK"));
    EXPECT_EQ(L".lnk.lnk", EnsureLnkExtension(L".lnk"));
    const std::wstring folder = L"C:\\" + std::wstring(240, L'f');
    EXPECT_EQ(259u, BuildShortcutPath(folder, L"", std::wstring(15, L'n')).size());
    EXPECT_EQ(L"", BuildShortcutPath(folder, L"", std::wstring(16, L'n')));
    EXPECT_EQ(L"", BuildShortcutPath(folder, std::wstring(16, L's'), L""));
}
