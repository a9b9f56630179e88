#include <ov/PathRules.h>

#include <gtest/gtest.h>

#include <string>

// Joining inserts exactly one backslash and never trims the name.
TEST(PathRulesTest, JoinPath) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\a", L"b", L"C:\\a\\b"},
        {L"C:\\a\\", L"b", L"C:\\a\\b"},
        {L"C:\\a", L"\\b", L"C:\\a\\\\b"},
        {L"", L"b", L"b"},
        {L"C:\\a\\", L"", L"C:\\a"},
        {L"C:\\a\\\\", L"", L"C:\\a\\"},
        {L"", L"", L""},
        {L"C:\\a", L"b\\c.exe", L"C:\\a\\b\\c.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.expected), ov::joinPath(c.folder, c.name)) << c.folder << L" + " << c.name;
    }
}

// Splitting at the last backslash, with the failures leaving the outputs untouched.
TEST(PathRulesTest, SplitPath) {
    struct Case {
        const wchar_t* path;
        bool ok;
        const wchar_t* folder;
        const wchar_t* file;
    };
    const Case cases[] = {
        {L"C:\\dir\\file.exe", true, L"C:\\dir", L"file.exe"},
        {L"C:\\dir\\", true, L"C:", L"dir"},
        {L"file.exe", true, L"", L"file.exe"},
        {L"a\\b\\c", true, L"a\\b", L"c"},
        {L"\\file", false, L"old", L"old"},
        {L"C:\\dir\\\\", false, L"old", L"old"},
        {L"", false, L"old", L"old"},
        {L"\\", false, L"old", L"old"},
    };
    for (const Case& c : cases) {
        std::wstring folder = L"old";
        std::wstring file = L"old";
        EXPECT_EQ(c.ok, ov::splitPath(c.path, folder, file)) << c.path;
        EXPECT_EQ(std::wstring(c.folder), folder) << c.path;
        EXPECT_EQ(std::wstring(c.file), file) << c.path;
    }
}

// Exactly one trailing backslash goes.
TEST(PathRulesTest, StripTrailingBackslash) {
    EXPECT_EQ(std::wstring(L"C:\\a"), ov::stripTrailingBackslash(L"C:\\a\\"));
    EXPECT_EQ(std::wstring(L"C:\\a\\"), ov::stripTrailingBackslash(L"C:\\a\\\\"));
    EXPECT_EQ(std::wstring(L"C:\\a"), ov::stripTrailingBackslash(L"C:\\a"));
    EXPECT_EQ(std::wstring(L""), ov::stripTrailingBackslash(L"\\"));
    EXPECT_EQ(std::wstring(L""), ov::stripTrailingBackslash(L""));
}
