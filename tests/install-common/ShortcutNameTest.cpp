// Which application names from the environment may name shortcuts and Start Menu folders.
#include <install-common/ShortcutPaths.h>

#include <gtest/gtest.h>

// A name that could reach outside its folder, or that Windows refuses in a file name, is not used.
TEST(ShortcutName, OnlyPlainFileNames) {
    const struct {
        const wchar_t* name;
        bool plain;
    } rows[] = {
        {L"Kelvara", true},
        {L"Kelvara Next 2.0", true},
        {L"K\u00e4lv\u00e4ra \U0001f6e1", true},
        {L"a.b", true},
        {L"", false},
        {L"..", false},
        {L"x..y", false},
        {L"..\\..\\Startup", false},
        {L"a/b", false},
        {L"C:evil", false},
        {L"a*", false},
        {L"a?", false},
        {L"a\"", false},
        {L"a<", false},
        {L"a>", false},
        {L"a|", false},
        {L"a\tb", false},
        {L"a\r\nb", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.plain, IsPlainFileName(row.name)) << testing::PrintToString(std::wstring(row.name));
    }
}
