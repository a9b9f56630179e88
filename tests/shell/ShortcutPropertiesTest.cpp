// What a shortcut hands to the shell-link object: link fields, AppUserModel properties and the
// save calls. Wine accepts the properties but keeps none of them in the saved file, so a
// recording link object takes the shell's place here.
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include <install-common/ShortcutCreator.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objidl.h>
#include <propsys.h>
#include <shobjidl.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::SizeIs;

using Calls = std::vector<std::string>;

const wchar_t kProductKey[] = L"SOFTWARE\\Orvanta\\Kelvara";
const GUID kAppUserModelFormat = {
    0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}};

// A shell-link object that writes nothing and records every call as a line of text.
class RecordingShellLink final : public IShellLinkW, public IPropertyStore, public IPersistFile {
public:
    std::vector<std::string> calls;
    HRESULT setValueResult = S_OK;
    HRESULT saveResult = S_OK;
    HRESULT saveCompletedResult = S_OK;
    bool offersPropertyStore = true;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
            *object = static_cast<IShellLinkW*>(this);
        } else if (iid == IID_IPropertyStore && offersPropertyStore) {
            *object = static_cast<IPropertyStore*>(this);
        } else if (iid == IID_IPersistFile || iid == IID_IPersist) {
            *object = static_cast<IPersistFile*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    // IShellLinkW: the setters are recorded, the rest is not used by the installer.
    HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR file) override { return record("SetPath " + u8(file)); }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR dir) override {
        return record("SetWorkingDirectory " + u8(dir));
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR path, int index) override {
        return record("SetIconLocation " + u8(path) + "," + std::to_string(index));
    }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR args) override {
        return record("SetArguments " + u8(args));
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR text) override {
        return record("SetDescription " + u8(text));
    }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return record("SetHotkey"); }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { return record("SetShowCmd"); }
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return record("SetIDList"); }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR, DWORD) override { return record("SetRelativePath"); }
    HRESULT STDMETHODCALLTYPE GetPath(LPWSTR, int, WIN32_FIND_DATAW*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR, int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR, int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR, int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR, int, int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return E_NOTIMPL; }

    // IPropertyStore: a value is recorded as "SetValue <property id> <type> <value>".
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override {
        std::string line = "SetValue " + std::string(key.fmtid == kAppUserModelFormat ? "" : "foreign ") +
                           std::to_string(key.pid) + " " + std::to_string(value.vt) + " ";
        if (value.vt == VT_LPWSTR) {
            line += u8(value.pwszVal);
        } else if (value.vt == VT_I4) {
            line += std::to_string(value.lVal);
        }
        calls.push_back(line);
        return setValueResult;
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return record("Commit"); }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY, PROPVARIANT*) override { return E_NOTIMPL; }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR file, BOOL remember) override {
        calls.push_back("Save " + u8(file) + "," + std::to_string(remember));
        return saveResult;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR file) override {
        calls.push_back("SaveCompleted " + u8(file));
        return saveCompletedResult;
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

    ULONG references = 0;

private:
    HRESULT record(const std::string& line) {
        calls.push_back(line);
        return S_OK;
    }
    static std::string u8(const wchar_t* text) { return ovtest::toUtf8(text != nullptr ? text : L"(null)"); }
};

// Every link object made for a test, and those handed out, one per shortcut, in order.
std::vector<std::unique_ptr<RecordingShellLink>> made;
std::vector<RecordingShellLink*> handedOut;
RecordingShellLink* reused = nullptr; // handed out each time instead of a fresh one when set
HRESULT failureToHandOut = S_OK;

HRESULT handOutRecordingLink(IShellLinkW** link) {
    if (FAILED(failureToHandOut)) {
        return failureToHandOut;
    }
    RecordingShellLink* object = reused;
    if (object == nullptr) {
        made.push_back(std::make_unique<RecordingShellLink>());
        object = made.back().get();
    }
    handedOut.push_back(object);
    object->AddRef();
    *link = object;
    return S_OK;
}

class ShortcutPropertiesTest : public testing::Test {
protected:
    void SetUp() override { previousFactory = SetShellLinkFactory(&handOutRecordingLink); }
    void TearDown() override {
        SetShellLinkFactory(previousFactory);
        for (const auto& link : made) {
            EXPECT_EQ(link->references, 0u) << "link object not released";
        }
        made.clear();
        handedOut.clear();
        reused = nullptr;
        failureToHandOut = S_OK;
    }

    // The one object every following shortcut gets, so a test can set how it answers.
    RecordingShellLink& reusedLink() {
        made.push_back(std::make_unique<RecordingShellLink>());
        reused = made.back().get();
        return *reused;
    }

    ShellLinkFactory previousFactory = nullptr;
    shelltest::LogCapture log;
    ShortcutCreator creator;
};

// A client shortcut: link fields, then the app model id and pin option 0, each committed, then
// the save with the link path, not remembered.
TEST_F(ShortcutPropertiesTest, ClientShortcutCarriesTheAppModelIdAndMayBePinned) {
    EXPECT_TRUE(creator.Create(L"C:\\Links\\Kelvara", L"C:\\App\\Kelvara.exe", L"C:\\App\\Kelvara.exe",
                               L"C:\\App", L"", false, L"Orvanta.Kelvara.Client"));

    ASSERT_THAT(handedOut, SizeIs(1));
    EXPECT_THAT(handedOut[0]->calls,
                ElementsAre("SetPath C:\\App\\Kelvara.exe", "SetWorkingDirectory C:\\App",
                            "SetIconLocation C:\\App\\Kelvara.exe,0", "SetValue 5 31 Orvanta.Kelvara.Client",
                            "Commit", "SetValue 12 3 0", "Commit", "Save C:\\Links\\Kelvara.lnk,0",
                            "SaveCompleted C:\\Links\\Kelvara.lnk"));
    EXPECT_TRUE(log.contains(" I: ::SetAppModelId: Setting AppModelId:Orvanta.Kelvara.Client"));
    EXPECT_TRUE(log.contains(" I: ::SaveShortcut: Saving C:\\Links\\Kelvara.lnk"));
    EXPECT_TRUE(log.contains(" I: ShortcutCreator::Create: Create shortcut: 'C:\\Links\\Kelvara.lnk' to run "
                             "'C:\\App\\Kelvara.exe'"));
}

// Without an app model id the id property is not written at all; the pin option still is.
TEST_F(ShortcutPropertiesTest, NoAppModelIdWritesOnlyThePinOption) {
    EXPECT_TRUE(
        creator.Create(L"C:\\Links\\Support Tool.lnk", L"C:\\App\\ovdiag_32.exe", L"", L"", L"", true, L""));

    ASSERT_THAT(handedOut, SizeIs(1));
    EXPECT_THAT(handedOut[0]->calls, ElementsAre("SetPath C:\\App\\ovdiag_32.exe", "SetValue 12 3 1",
                                                 "Commit", "Save C:\\Links\\Support Tool.lnk,0",
                                                 "SaveCompleted C:\\Links\\Support Tool.lnk"));
    EXPECT_THAT(log.matching("Setting AppModelId"), IsEmpty());
}

// The plan as a whole: both client shortcuts carry the id and may be pinned, the support tool's
// carries no id and asks not to be pinned at installation.
TEST_F(ShortcutPropertiesTest, ShortcutPlanStampsClientsAndMarksTheSupportTool) {
    shelltest::RegistryValueRestorer appPath{kProductKey, L"AppPath"};
    ASSERT_TRUE(shelltest::setString(kProductKey, L"AppPath", L"C:\\App"));
    const std::wstring programs = shelltest::commonPrograms();

    EXPECT_TRUE(creator.CreateShortcuts(L"Kelvara", L"Orvanta.Kelvara.Client", L"C:\\App\\Kelvara.exe",
                                        L"C:\\App\\ovdiag_32.exe"));
    RemoveDirectoryW((programs + L"\\Kelvara").c_str());

    ASSERT_THAT(handedOut, SizeIs(3));
    const std::string menu = ovtest::toUtf8(programs) + "\\Kelvara\\";
    EXPECT_THAT(handedOut[0]->calls,
                testing::IsSupersetOf(
                    Calls{"SetValue 5 31 Orvanta.Kelvara.Client", "SetValue 12 3 0",
                          "Save " + ovtest::toUtf8(shelltest::commonDesktop()) + "\\Kelvara.lnk,0"}));
    EXPECT_THAT(handedOut[1]->calls,
                testing::IsSupersetOf(Calls{"SetValue 5 31 Orvanta.Kelvara.Client", "SetValue 12 3 0",
                                            "Save " + menu + "Kelvara.lnk,0"}));
    EXPECT_THAT(handedOut[2]->calls,
                testing::IsSupersetOf(Calls{"SetValue 12 3 1", "Save " + menu + "Support Tool.lnk,0",
                                            "SetPath C:\\App\\ovdiag_32.exe", "SetWorkingDirectory C:\\App",
                                            "SetIconLocation C:\\App\\ovdiag_32.exe,0"}));
    EXPECT_THAT(handedOut[2]->calls, testing::Not(testing::Contains(testing::StartsWith("SetValue 5 "))));
}

// A refused property is logged and not committed; the shortcut is still saved.
TEST_F(ShortcutPropertiesTest, RefusedPropertyIsNotCommittedAndTheShortcutIsStillSaved) {
    RecordingShellLink& link = reusedLink();
    link.setValueResult = E_FAIL;
    EXPECT_TRUE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L"Id"));

    EXPECT_THAT(link.calls,
                ElementsAre("SetPath C:\\App\\Kelvara.exe", "SetValue 5 31 Id", "SetValue 12 3 0",
                            "Save C:\\Links\\Kelvara.lnk,0", "SaveCompleted C:\\Links\\Kelvara.lnk"));
    EXPECT_TRUE(log.contains(" I: ::SetAppModelId: Error setting AppModelId property, err=-2147467259"));
    EXPECT_TRUE(log.contains(" I: ::SetNoPinToStartOnInstall: Error setting NoPinToStartOnInstall property, "
                             "err=-2147467259"));
}

// A link object without a property store still gets saved.
TEST_F(ShortcutPropertiesTest, LinkWithoutPropertyStoreIsStillSaved) {
    RecordingShellLink& link = reusedLink();
    link.offersPropertyStore = false;
    EXPECT_TRUE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L"Id"));

    EXPECT_THAT(log.matching("QueryInterface failed"),
                ElementsAre(" I: ::SetAppModelId: QueryInterface failed", " I: ::SetNoPinToStartOnInstall: "
                                                                          "QueryInterface failed"));
    EXPECT_THAT(link.calls, testing::Contains("Save C:\\Links\\Kelvara.lnk,0"));
}

// A failed save fails the shortcut before SaveCompleted; a failed or inconclusive SaveCompleted too.
TEST_F(ShortcutPropertiesTest, FailedSaveOrSaveCompletedFailsTheShortcut) {
    RecordingShellLink& link = reusedLink();
    link.saveResult = E_ACCESSDENIED;
    EXPECT_FALSE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L""));
    EXPECT_THAT(link.calls, testing::Not(testing::Contains(testing::StartsWith("SaveCompleted"))));
    EXPECT_TRUE(log.contains("*E: ::SaveShortcut: Save failed: 0x80070005"));

    link.calls.clear();
    link.saveResult = S_OK;
    link.saveCompletedResult = E_FAIL;
    EXPECT_FALSE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L""));
    EXPECT_TRUE(log.contains("*E: ::SaveShortcut: SaveCompleted failed: 0x80004005"));

    link.saveCompletedResult = S_FALSE;
    EXPECT_FALSE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L""));
    EXPECT_THAT(log.matching("SaveCompleted failed"), SizeIs(1));
}

// Arguments, when given, are set after the icon.
TEST_F(ShortcutPropertiesTest, ArgumentsAreSetWhenGiven) {
    EXPECT_TRUE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"--tray", false, L""));
    ASSERT_THAT(handedOut, SizeIs(1));
    EXPECT_EQ(handedOut[0]->calls[1], "SetArguments --tray");
}

// When no link object can be made the shortcut fails with the creation error logged.
TEST_F(ShortcutPropertiesTest, FailedObjectCreationFailsTheShortcut) {
    failureToHandOut = REGDB_E_CLASSNOTREG;
    EXPECT_FALSE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L""));
    EXPECT_TRUE(log.contains("*E: ::CreateShellLinkObject: CoCreateInstance error 0x80040154"));
}

} // namespace
