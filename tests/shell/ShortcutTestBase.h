// A shortcut test's world: COM, an installation folder with the client and the support tool,
// "AppPath" in the product key pointing at it and no "ProductName". Every shortcut and folder a
// test may leave in the common folders, and the product values, are removed before and after.
#pragma once

#include "TestLog.h"
#include "TestSupport.h"

#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace shelltest {

const wchar_t kProductKey[] = L"SOFTWARE\\Orvanta\\Kelvara";
const wchar_t kModelId[] = L"Orvanta.Kelvara.Client";

class ShortcutTestBase : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_FALSE(desktop.empty());
        ASSERT_FALSE(programs.empty());
        removeAll();
        ASSERT_TRUE(setProductValue(L"AppPath", install.path()));
        ASSERT_TRUE(ovtest::writeFile(client, "stand-in"));
        ASSERT_TRUE(ovtest::writeFile(supportTool, "stand-in"));
    }

    void TearDown() override {
        removeAll();
        CoUninitialize();
    }

    // Writes a REG_SZ value of the product key (HKEY_LOCAL_MACHINE, the process's default view).
    static bool setProductValue(const wchar_t* name, const std::wstring& value) {
        return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, name, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    static void deleteProductValue(const wchar_t* name) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kProductKey, name);
    }

    static bool exists(const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    ovtest::LogMark log;
    ovtest::TempDir install{L"kelvara-install"};
    const std::wstring client = install / L"Kelvara.exe";
    const std::wstring supportTool = install / L"ovdiag_32.exe";
    const std::wstring desktop = shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::wstring programs = shellFolder(CSIDL_COMMON_PROGRAMS);

private:
    static std::wstring shellFolder(int csidl) {
        wchar_t buffer[MAX_PATH] = {};
        return SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK ? buffer : L"";
    }

    void removeAll() {
        for (const wchar_t* name : {L"Kelvara.lnk", L"Kelvara Beta.lnk"}) {
            DeleteFileW((desktop + L"\\" + name).c_str());
        }
        DeleteFileW((programs + L"\\Support Tool.lnk").c_str());
        for (const wchar_t* folder : {L"\\Kelvara", L"\\Kelvara Beta", L"\\Orvanta"}) {
            ovtest::removeTree(programs + folder);
        }
        deleteProductValue(L"ProductName");
        deleteProductValue(L"AppPath");
        // The keys themselves go when the test's values were all they held.
        for (const wchar_t* path : {kProductKey, L"SOFTWARE\\Orvanta"}) {
            HKEY key = nullptr;
            DWORD subKeys = 1;
            DWORD values = 1;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
                RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr);
                RegCloseKey(key);
            }
            if (subKeys == 0 && values == 0) {
                RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
            }
        }
    }
};

} // namespace shelltest
