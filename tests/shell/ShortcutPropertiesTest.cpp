// What a shortcut hands to the shell-link object: link fields, AppUserModel properties and the
// save calls. Wine accepts the properties but keeps none of them in the saved file, so a
// recording link object takes the shell's place here.
#include "ShortcutTestBase.h"

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

using Calls = std::vector<std::string>;

const GUID kAppUserModelFormat = {
    0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}};

std::string u8(const wchar_t* text) {
    return ovtest::toUtf8(text != nullptr ? text : L"(null)");
}

// A shell-link object that writes nothing and records every call as a line of text.
class RecordingShellLink final : public IShellLinkW, public IPropertyStore, public IPersistFile {
public:
    explicit RecordingShellLink(HRESULT setValueResult) : setValueResult_(setValueResult) {}

    Calls calls;
    ULONG references = 0;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
            *object = static_cast<IShellLinkW*>(this);
        } else if (iid == IID_IPropertyStore) {
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
        line += value.vt == VT_LPWSTR ? u8(value.pwszVal)
                : value.vt == VT_I4   ? std::to_string(value.lVal)
                                      : "";
        calls.push_back(line);
        return setValueResult_;
    }
    HRESULT STDMETHODCALLTYPE Commit() override { return record("Commit"); }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY, PROPVARIANT*) override { return E_NOTIMPL; }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR file, BOOL remember) override {
        return record("Save " + u8(file) + "," + std::to_string(remember));
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR file) override {
        return record("SaveCompleted " + u8(file));
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

private:
    HRESULT record(const std::string& line) {
        calls.push_back(line);
        return S_OK;
    }

    HRESULT setValueResult_;
};

// The link objects handed out during a test, one per shortcut, in order.
std::vector<std::unique_ptr<RecordingShellLink>> links;
HRESULT setValueResult = S_OK;

HRESULT handOutRecordingLink(IShellLinkW** link) {
    links.push_back(std::make_unique<RecordingShellLink>(setValueResult));
    links.back()->AddRef();
    *link = links.back().get();
    return S_OK;
}

class ShortcutPropertiesTest : public shelltest::ShortcutTestBase {
protected:
    void SetUp() override {
        ShortcutTestBase::SetUp();
        previousFactory = SetShellLinkFactory(&handOutRecordingLink);
    }
    void TearDown() override {
        SetShellLinkFactory(previousFactory);
        for (const auto& link : links) {
            EXPECT_EQ(0u, link->references) << "link object not released";
        }
        links.clear();
        setValueResult = S_OK;
        ShortcutTestBase::TearDown();
    }

    ShellLinkFactory previousFactory = nullptr;
    ShortcutCreator creator;
};

// Both client shortcuts carry the app model id and may be pinned (option 0); the support tool's
// carries no id and asks not to be pinned at installation (1). Each property is committed, then
// the link is saved under its path, not remembered, and the save completed.
TEST_F(ShortcutPropertiesTest, ShortcutPlanStampsClientsAndMarksTheSupportTool) {
    EXPECT_TRUE(creator.CreateShortcuts(L"Kelvara", shelltest::kModelId, client, supportTool));

    const auto expected = [this](const std::wstring& target, const std::wstring& link, bool withId, int pin) {
        Calls calls{"SetPath " + ovtest::toUtf8(target),
                    "SetWorkingDirectory " + ovtest::toUtf8(install.path()),
                    "SetIconLocation " + ovtest::toUtf8(target) + ",0"};
        if (withId) {
            calls.insert(calls.end(), {"SetValue 5 31 Orvanta.Kelvara.Client", "Commit"});
        }
        calls.insert(calls.end(),
                     {"SetValue 12 3 " + std::to_string(pin), "Commit", "Save " + ovtest::toUtf8(link) + ",0",
                      "SaveCompleted " + ovtest::toUtf8(link)});
        return calls;
    };
    ASSERT_EQ(3u, links.size());
    EXPECT_EQ(expected(client, desktop + L"\\Kelvara.lnk", true, 0), links[0]->calls);
    EXPECT_EQ(expected(client, programs + L"\\Kelvara\\Kelvara.lnk", true, 0), links[1]->calls);
    EXPECT_EQ(expected(supportTool, programs + L"\\Kelvara\\Support Tool.lnk", false, 1), links[2]->calls);
}

// A refused property is logged and not committed; the shortcut is still saved.
TEST_F(ShortcutPropertiesTest, RefusedPropertyIsNotCommittedAndTheShortcutIsStillSaved) {
    setValueResult = E_FAIL;
    EXPECT_TRUE(
        creator.Create(L"C:\\Links\\Kelvara.lnk", L"C:\\App\\Kelvara.exe", L"", L"", L"", false, L"Id"));

    ASSERT_EQ(1u, links.size());
    EXPECT_THAT(links[0]->calls, testing::ElementsAre("SetPath C:\\App\\Kelvara.exe", "SetValue 5 31 Id",
                                                      "SetValue 12 3 0", "Save C:\\Links\\Kelvara.lnk,0",
                                                      "SaveCompleted C:\\Links\\Kelvara.lnk"));
    EXPECT_TRUE(log.contains(" I: ::SetAppModelId: Error setting AppModelId property, err=-2147467259"));
}

} // namespace
