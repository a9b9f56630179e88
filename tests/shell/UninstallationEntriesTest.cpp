// The Add/Remove Programs entry, written into a registry sandbox in place of HKEY_LOCAL_MACHINE.
#include "RegistrySandbox.h"
#include "TestLog.h"
#include "TestSupport.h"

#include <install-common/UninstallationEntries.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::ElementsAre;

const wchar_t kEntryKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvanta Kelvara";
const wchar_t kUninstaller[] = L"C:\\Program Files\\Orvanta\\Kelvara\\ovvpnuninstall.exe";

class UninstallationEntriesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.ok());
        ASSERT_TRUE(sandbox.createKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    }

    // The value as stored: REG_SZ with its terminating NUL.
    void expectValue(const wchar_t* name, const std::wstring& text) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        ASSERT_TRUE(sandbox.getValue(kEntryKey, name, type, data)) << ovtest::toUtf8(name);
        std::vector<BYTE> expected = ovtest::utf16Bytes(text);
        expected.insert(expected.end(), {0, 0});
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << ovtest::toUtf8(name);
        EXPECT_EQ(expected, data) << ovtest::toUtf8(name);
    }

    DWORD valueCount() {
        HKEY key = nullptr;
        DWORD values = 0;
        if (RegOpenKeyExW(sandbox.key(), kEntryKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr);
            RegCloseKey(key);
        }
        return values;
    }

    ovtest::LogMark log; // the log opens before the registry is redirected
    ovtest::RegistrySandbox sandbox;
};

// A first installation lists the product with its publisher, uninstaller, name and version.
TEST_F(UninstallationEntriesTest, WritesTheFiveValues) {
    EXPECT_TRUE(UninstallationEntries::Install(L"Kelvara", kUninstaller));

    expectValue(L"Publisher", L"Orvanta Corporation");
    expectValue(L"UninstallString", kUninstaller);
    expectValue(L"DisplayIcon", kUninstaller);
    expectValue(L"DisplayName", L"Kelvara");
    expectValue(L"DisplayVersion", L"2.69.35.0");
    EXPECT_EQ(5u, valueCount());
    EXPECT_THAT(log.records(),
                ElementsAre(" I: UninstallationEntries::Install: Adding uninstall entry for "
                            "'Kelvara', 'C:\\Program Files\\Orvanta\\Kelvara\\ovvpnuninstall.exe'"));
}

// Over an earlier entry the values are replaced, a name outside ASCII reaching the registry
// unchanged, and everything else in the key stays.
TEST_F(UninstallationEntriesTest, ExistingEntryKeepsItsOtherValues) {
    ASSERT_TRUE(sandbox.setString(kEntryKey, L"DisplayVersion", L"2.60.0.0"));
    ASSERT_TRUE(sandbox.setString(kEntryKey, L"InstallLocation", L"C:\\Old"));
    const std::wstring name = L"Kelvara \u00dcbersicht \u65e5\u672c \U0001F512";

    EXPECT_TRUE(UninstallationEntries::Install(name, kUninstaller));

    expectValue(L"DisplayName", name);
    expectValue(L"DisplayVersion", L"2.69.35.0");
    expectValue(L"InstallLocation", L"C:\\Old");
    EXPECT_EQ(6u, valueCount());
    EXPECT_THAT(log.matching("Error"), testing::IsEmpty());
}

// An entry key that may not be written: each value fails on its own line with status 5 (access
// denied), in the order they are written, and the step still counts as done.
TEST_F(UninstallationEntriesTest, KeyThatDeniesWritingGivesOneErrorLinePerValue) {
    ASSERT_TRUE(sandbox.setString(kEntryKey, L"DisplayName", L"Kelvara"));
    ASSERT_TRUE(sandbox.restrictKey(kEntryKey, KEY_READ));

    EXPECT_TRUE(UninstallationEntries::Install(L"Kelvara Next", kUninstaller));

    expectValue(L"DisplayName", L"Kelvara");
    EXPECT_THAT(log.matching("SetRegistryValue"),
                ElementsAre("*E: SetRegistryValue: Failed to set Publisher. Error = 5",
                            "*E: SetRegistryValue: Failed to set UninstallString. Error = 5",
                            "*E: SetRegistryValue: Failed to set DisplayIcon. Error = 5",
                            "*E: SetRegistryValue: Failed to set DisplayName. Error = 5",
                            "*E: SetRegistryValue: Failed to set DisplayVersion. Error = 5"));
}

} // namespace
