// The text rules for link names and shortcut paths.
#include <install-common/ShortcutPaths.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The link extension is added once; only an exact lower-case ".lnk" ending a longer name counts.
// Folder and names are joined with a separator only where one is missing.
TEST(ShortcutPaths, LinkNamesAndJoins) {
    EXPECT_EQ(L"Kelvara.lnk", EnsureLnkExtension(L"Kelvara"));
    EXPECT_EQ(L"Support Tool.lnk", EnsureLnkExtension(L"Support Tool.lnk"));
    EXPECT_EQ(L"Kelvara.LNK.lnk", EnsureLnkExtension(L"Kelvara.LNK"));
    EXPECT_EQ(L".lnk.lnk", EnsureLnkExtension(L".lnk"));

    EXPECT_EQ(L"C:\\Desktop\\Kelvara.lnk", BuildShortcutPath(L"C:\\Desktop", L"", L"Kelvara.lnk"));
    EXPECT_EQ(L"C:\\Programs\\Kelvara\\Kelvara.lnk",
              BuildShortcutPath(L"C:\\Programs", L"Kelvara", L"Kelvara.lnk"));
    EXPECT_EQ(L"C:\\Programs\\Orvanta\\Kelvara\\",
              BuildShortcutPath(L"C:\\Programs\\", L"Orvanta\\Kelvara", L""));
    EXPECT_EQ(L"C:\\Programs\\Kelvara\\Support Tool.lnk",
              BuildShortcutPath(L"C:\\Programs\\Kelvara\\", L"", L"Support Tool.lnk"));
}

// 259 characters fit the path buffer; one more in either join gives no path at all rather than
// a shorter one that would point somewhere else.
TEST(ShortcutPaths, NothingWhenAJoinDoesNotFitThePathBuffer) {
    const std::wstring folder = L"C:\\" + std::wstring(240, L'f');
    EXPECT_EQ(259u, BuildShortcutPath(folder, L"", std::wstring(15, L'n')).size());
    EXPECT_EQ(L"", BuildShortcutPath(folder, L"", std::wstring(16, L'n')));
    EXPECT_EQ(L"", BuildShortcutPath(folder, std::wstring(16, L's'), L""));
}

} // namespace
