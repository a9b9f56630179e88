// Which application names from the environment may name shortcuts and Start Menu folders.
#include <install-common/ShortcutPaths.h>

#include <gtest/gtest.h>

// A name that could reach outside its folder, or that Windows refuses in a file name, is not used;
// a Start Menu folder may nest.
TEST(ShortcutName, OnlyNamesInsideTheirFolders) {
    for (const wchar_t* name :
         {L"Kelvara", L"Kelvara Next 2.0", L"K\u00e4lv\u00e4ra \U0001f6e1", L"Orvanta\\Kelvara"}) {
        EXPECT_TRUE(IsPlainShortcutName(name)) << testing::PrintToString(std::wstring(name));
    }
    for (const wchar_t* name : {L"", L"..", L"..\\..\\Startup", L"\\Kelvara", L"Kelvara\\", L"a\\\\b", L"a/b",
                                L"C:evil", L"a*", L"a?", L"a\"", L"a<", L"a>", L"a|", L"a\r\nb"}) {
        EXPECT_FALSE(IsPlainShortcutName(name)) << testing::PrintToString(std::wstring(name));
    }
}
