#include <ov/PathRules.h>

#include <gtest/gtest.h>

#include <string>

// Joining inserts exactly one backslash, drops one trailing backslash of the folder before an
// empty name and never trims the name.
TEST(PathRulesTest, JoinPath) {
    const wchar_t* cases[][3] = {
        // folder, name, path
        {L"C:\\a", L"b", L"C:\\a\\b"},     {L"C:\\a\\", L"b", L"C:\\a\\b"},
        {L"C:\\a", L"\\b", L"C:\\a\\\\b"}, {L"", L"b", L"b"},
        {L"C:\\a\\", L"", L"C:\\a"},       {L"C:\\a\\\\", L"", L"C:\\a\\"},
        {L"C:\\a", L"", L"C:\\a"},         {L"", L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::wstring(c[2]), ov::joinPath(c[0], c[1])) << c[0] << L" + " << c[1];
    }
}

// Splitting at the last backslash after one trailing backslash goes; failures (no folder given
// below) leave the outputs untouched.
TEST(PathRulesTest, SplitPath) {
    const wchar_t* cases[][3] = {
        // path, folder, file name
        {L"C:\\dir\\file.exe", L"C:\\dir", L"file.exe"},
        {L"C:\\dir\\", L"C:", L"dir"},
        {L"file.exe", L"", L"file.exe"},
        {L"\\file", nullptr, nullptr},
        {L"C:\\dir\\\\", nullptr, nullptr},
        {L"\\", nullptr, nullptr},
        {L"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::wstring folder = L"old";
        std::wstring file = L"old";
        EXPECT_EQ(c[1] != nullptr, ov::splitPath(c[0], folder, file)) << c[0];
        EXPECT_EQ(std::wstring(c[1] ? c[1] : L"old"), folder) << c[0];
        EXPECT_EQ(std::wstring(c[2] ? c[2] : L"old"), file) << c[0];
    }
}
