#include "RunContext.h"

#include <gtest/gtest.h>

// ul_reg_root keeps the text after its first backslash; no backslash gives no root.
TEST(RunContext, RegistryRootDropsTheHiveName) {
    const struct {
        const wchar_t* value;
        const wchar_t* root;
    } cases[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Y", L"SOFTWARE\\X\\Y"},
        {L"SOFTWARE", L""},
        {L"\\A", L"A"},
        {L"", L""},
        {L"HKLM\\", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normaliseRegistryRoot(c.value), c.root) << "value: " << testing::PrintToString(c.value);
    }
}

// Only the exact text "yes" makes the installation silent.
TEST(RunContext, SilentOnlyForExactYes) {
    EXPECT_TRUE(isSilentInstallation(L"yes"));
    for (const wchar_t* value : {L"Yes", L"YES", L"yes ", L"yes\n", L" yes", L"1", L"true", L"", L"ye"}) {
        EXPECT_FALSE(isSilentInstallation(value)) << testing::PrintToString(value);
    }
}

// An empty title becomes "module version", even when both are empty.
TEST(RunContext, DefaultTitleJoinsModuleAndVersion) {
    EXPECT_EQ(defaultTitle(L"M", L"1.0"), L"M 1.0");
    EXPECT_EQ(defaultTitle(L"", L""), L" ");
}
