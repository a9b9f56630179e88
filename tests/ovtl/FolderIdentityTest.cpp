// Folder identity on disk, and a tree removal handed registry text with a NUL in it.
#include <ov/DirectoryTree.h>
#include <ov/SamePath.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

// Other spellings of the same folder are the same folder; a sibling, a child or a parent is not.
TEST(FolderIdentity, SameFolderWhateverItsSpelling) {
    ovtest::TempDir temp(L"ovsame");
    const std::wstring folder = temp / L"Long Folder Name";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((temp / L"Long Folder Name2").c_str(), nullptr));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(folder.c_str(), shortName, MAX_PATH), 0u);
    std::wstring doubled = folder;
    doubled.insert(doubled.rfind(L'\\'), L"\\");
    const std::wstring same[] = {folder + L"\\", shortName, L"\\\\?\\" + folder, doubled};
    for (const std::wstring& other : same) {
        EXPECT_TRUE(ov::isSameFolder(folder, other)) << other;
    }
    for (const std::wstring& other : {folder + L"2", temp.path(), folder + L"\\x"}) {
        EXPECT_FALSE(ov::isSameFolder(folder, other)) << other;
    }
    // Folders that cannot be opened compare as text.
    EXPECT_TRUE(ov::isSameFolder(L"C:\\No\\Such", L"c:\\no\\such\\"));

    // Up to the drive's root, but never a sibling whose name extends the folder's.
    EXPECT_TRUE(ov::folderContains(folder.substr(0, 3), shortName));
    EXPECT_FALSE(ov::folderContains(folder, temp.path()));
    EXPECT_FALSE(ov::folderContains(folder, folder + L"2"));
}

// A text with a NUL after the path removes the folder before the NUL, and nothing more.
TEST(DirectoryTree, TextEndingInANulRemovesTheFolderBeforeIt) {
    ovtest::TempDir temp(L"ovnul");
    const std::wstring folder = temp / L"2.68.0.0";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\x64").c_str(), nullptr));
    ASSERT_TRUE(CloseHandle(CreateFileW((folder + L"\\x64\\tool.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, 0, nullptr)));
    EXPECT_TRUE(ov::removeDirectoryTree(folder + L"\0"s, true));
    EXPECT_FALSE(ovtest::fileExists(folder));
    EXPECT_TRUE(ovtest::fileExists(temp.path()));
}
