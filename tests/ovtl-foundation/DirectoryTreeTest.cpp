#include <ov/DirectoryTree.h>
#include <ov/Handle.h>
#include <ov/Win32.h>
#include <ov/Win32Registry.h>

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPending[] = L"PendingFileRenameOperations";

using ovtest::fileExists;

// The pending rename list as stored: source and target, each ended by a NUL, for every operation
// (a deletion has an empty target); empty when there is none.
std::wstring pendingOperations() {
    std::vector<BYTE> bytes;
    DWORD type = REG_NONE;
    ov::Win32Registry(HKEY_LOCAL_MACHINE).readValue(kSessionManager, kPending, bytes, type);
    std::wstring units(bytes.size() / sizeof(wchar_t), L'\0');
    if (!units.empty()) {
        std::memcpy(&units[0], bytes.data(), units.size() * sizeof(wchar_t));
    }
    return units;
}

// A tree with a read-only file and a folder whose name starts with a dot. The pending rename
// list is put back as it was, so that no restart of the lab replays what a test scheduled.
class DirectoryTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((root + L"\\sub\\.hidden").c_str(), nullptr));
        ASSERT_TRUE(ovtest::writeFile(root + L"\\plain.txt", "plain"));
        ASSERT_TRUE(ovtest::writeFile(root + L"\\sub\\.hidden\\x.dat", "x"));
        ASSERT_TRUE(ovtest::writeFile(root + L"\\sub\\readonly.txt", "ro"));
        ASSERT_TRUE(SetFileAttributesW((root + L"\\sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    }
    void TearDown() override {
        if (saved.empty()) {
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
        } else {
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, REG_MULTI_SZ, saved.c_str(),
                            static_cast<DWORD>(saved.size() * sizeof(wchar_t)));
        }
    }

    const std::wstring saved = pendingOperations();
    ovtest::TempDir temp{L"ovtree"};
    std::wstring root = temp / L"root";
};

} // namespace

// A whole tree goes, read-only files and folders starting with a dot included; a plain file, a
// missing path and the empty path are refused and nothing is deleted.
TEST_F(DirectoryTreeTest, RemovesFoldersOnly) {
    EXPECT_FALSE(ov::removeDirectoryTree(root + L"\\plain.txt", true));
    EXPECT_TRUE(fileExists(root + L"\\plain.txt"));
    EXPECT_FALSE(ov::removeDirectoryTree(root + L"\\missing", true));
    EXPECT_FALSE(ov::removeDirectoryTree(L"", true));
    EXPECT_TRUE(ov::removeDirectoryTree(root, false));
    EXPECT_FALSE(fileExists(root));
}

// A file open without delete sharing, as a running program's is, fails the removal without the
// delay flag; with it the file and its folder are scheduled for restart. Everything else goes.
TEST_F(DirectoryTreeTest, LockedFile) {
    const std::wstring locked = root + L"\\locked.bin";
    const ov::ScopedHandle handle(CreateFileW(locked.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(handle);
    EXPECT_FALSE(ov::removeDirectoryTree(root, false));
    EXPECT_TRUE(fileExists(locked));
    EXPECT_FALSE(fileExists(root + L"\\plain.txt"));
    EXPECT_FALSE(fileExists(root + L"\\sub"));
    EXPECT_EQ(std::wstring::npos, pendingOperations().find(temp.path()));

    ASSERT_TRUE(ovtest::writeFile(root + L"\\plain.txt", "again"));
    EXPECT_TRUE(ov::removeDirectoryTree(root, true));
    EXPECT_FALSE(fileExists(root + L"\\plain.txt"));
    const std::wstring pending = pendingOperations();
    const std::wstring deletion(2, L'\0'); // the end of a source and an empty target
    const size_t file = pending.find(locked + deletion);
    const size_t folder = pending.find(root + deletion);
    EXPECT_NE(std::wstring::npos, file);
    EXPECT_NE(std::wstring::npos, folder);
    EXPECT_LT(file, folder); // at restart the folder is empty only after the file went
}
