// The text rules for link names and shortcut paths.
#include <install-common/ShortcutPaths.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The link extension is added once, and only an exact lower-case ".lnk" counts as present.
TEST(EnsureLnkExtension, AddsTheExtensionUnlessALowerCaseOneEndsALongerName) {
    const struct {
        const wchar_t* name;
        const wchar_t* expected;
    } cases[] = {
        {L"", L""},
        {L"Kelvara", L"Kelvara.lnk"},
        {L"Support Tool.lnk", L"Support Tool.lnk"},
        {L"Kelvara.LNK", L"Kelvara.LNK.lnk"},
        {L".lnk", L".lnk.lnk"},
        {L"a.lnk", L"a.lnk"},
        {L"C:\\Programs\\Kelvara\\", L"C:\\Programs\\Kelvara\\.lnk"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EnsureLnkExtension(c.name), c.expected) << "name: " << testing::PrintToString(c.name);
    }
}

// Two joins: the separator is added only where needed, an empty file name leaves a trailing one.
TEST(BuildShortcutPath, JoinsFolderSubfolderAndFileName) {
    const struct {
        const wchar_t* folder;
        const wchar_t* subfolder;
        const wchar_t* file;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Users\\Public\\Desktop", L"", L"Kelvara.lnk", L"C:\\Users\\Public\\Desktop\\Kelvara.lnk"},
        {L"C:\\Programs", L"Kelvara", L"Kelvara.lnk", L"C:\\Programs\\Kelvara\\Kelvara.lnk"},
        {L"C:\\Programs", L"Kelvara", L"", L"C:\\Programs\\Kelvara\\"},
        {L"C:\\Programs\\", L"Kelvara", L"", L"C:\\Programs\\Kelvara\\"},
        {L"C:\\Programs/", L"Kelvara", L"x.lnk", L"C:\\Programs/Kelvara\\x.lnk"},
        {L"C:\\Programs\\Kelvara\\", L"", L"Support Tool.lnk", L"C:\\Programs\\Kelvara\\Support Tool.lnk"},
        {L"C:\\Programs", L"Orvanta\\Kelvara", L"", L"C:\\Programs\\Orvanta\\Kelvara\\"},
        {L"C:\\Programs", L"", L"", L"C:\\Programs\\"},
        {L"", L"", L"Kelvara.lnk", L"Kelvara.lnk"},
        {L"", L"Kelvara", L"", L"Kelvara\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildShortcutPath(c.folder, c.subfolder, c.file), c.expected)
            << testing::PrintToString(c.folder) << " + " << testing::PrintToString(c.subfolder) << " + "
            << testing::PrintToString(c.file);
    }
}

// 259 characters fit the path buffer; one more in either join gives no path at all rather than
// a shorter one that would point somewhere else.
TEST(BuildShortcutPath, GivesNothingWhenAJoinDoesNotFitThePathBuffer) {
    const std::wstring folder = L"C:\\" + std::wstring(240, L'f');
    EXPECT_EQ(BuildShortcutPath(folder, L"", std::wstring(15, L'n')).size(), 259u);
    EXPECT_EQ(BuildShortcutPath(folder, L"", std::wstring(16, L'n')), L"");
    EXPECT_EQ(BuildShortcutPath(folder, std::wstring(16, L's'), L""), L"");
    EXPECT_EQ(BuildShortcutPath(folder, std::wstring(14, L's'), L"x.lnk"), L"");
    EXPECT_EQ(BuildShortcutPath(std::wstring(260, L'f'), L"", L""), L"");
}

} // namespace
