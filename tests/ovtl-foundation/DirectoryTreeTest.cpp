#include <ov/DirectoryTree.h>
#include <ov/Handle.h>
#include <ov/Win32.h>

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

using ovtest::fileExists;

std::wstring upper(std::wstring text) {
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The strings of the pending rename list: source, target, source, target...
std::vector<std::wstring> pendingOperations() {
    std::vector<std::wstring> strings;
    ov::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return strings;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return strings;
    }
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS) {
        return strings;
    }
    const size_t count = size / sizeof(wchar_t);
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        if (data[i] == L'\0') {
            strings.emplace_back(&data[start], &data[i]);
            start = i + 1;
        }
    }
    // A list ends in an empty string after the last pair.
    while (strings.size() % 2 != 0 && strings.back().empty()) {
        strings.pop_back();
    }
    return strings;
}

// Pending deletions (source with an empty target) whose source lies inside the folder.
std::vector<std::wstring> pendingDeletionsUnder(const std::wstring& folder) {
    std::vector<std::wstring> found;
    const std::vector<std::wstring> strings = pendingOperations();
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i + 1].empty() && upper(strings[i]).find(upper(folder)) != std::wstring::npos) {
            found.push_back(strings[i]);
        }
    }
    return found;
}

// Removes the pending operations whose source lies inside the folder.
void dropPendingUnder(const std::wstring& folder) {
    const std::vector<std::wstring> strings = pendingOperations();
    std::vector<wchar_t> kept;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (upper(strings[i]).find(upper(folder)) == std::wstring::npos) {
            for (size_t j = i; j < i + 2; ++j) {
                kept.insert(kept.end(), strings[j].begin(), strings[j].end());
                kept.push_back(L'\0');
            }
        }
    }
    ov::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) {
        return;
    }
    if (kept.empty()) {
        RegDeleteValueW(key.get(), kPendingValue);
        return;
    }
    kept.push_back(L'\0');
    RegSetValueExW(key.get(), kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                   static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

class DirectoryTreeTest : public ::testing::Test {
protected:
    ovtest::TempDir temp{L"ovtree"};
    std::wstring root = temp / L"root";

    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
        ASSERT_TRUE(ovtest::writeFile(root + L"\\plain.txt", "plain"));
        ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((root + L"\\sub\\.hidden").c_str(), nullptr));
        ASSERT_TRUE(ovtest::writeFile(root + L"\\sub\\.hidden\\x.dat", "x"));
        ASSERT_TRUE(ovtest::writeFile(root + L"\\sub\\readonly.txt", "ro"));
        ASSERT_TRUE(SetFileAttributesW((root + L"\\sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    }
    void TearDown() override { dropPendingUnder(temp.path()); }

    // A file in the tree held open without delete sharing, as a running program's file is.
    ov::ScopedHandle lockFile(const std::wstring& path) {
        return ov::ScopedHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
};

} // namespace

// A whole tree goes, read-only files and folders starting with a dot included.
TEST_F(DirectoryTreeTest, RemovesEverything) {
    EXPECT_TRUE(ov::removeDirectoryTree(root, false));
    EXPECT_FALSE(fileExists(root));
}

// Plain files, missing paths and the empty path are refused and nothing is deleted.
TEST_F(DirectoryTreeTest, RefusesWhatIsNotAFolder) {
    EXPECT_FALSE(ov::removeDirectoryTree(root + L"\\plain.txt", true));
    EXPECT_TRUE(fileExists(root + L"\\plain.txt"));
    EXPECT_FALSE(ov::removeDirectoryTree(root + L"\\missing", true));
    EXPECT_FALSE(ov::removeDirectoryTree(L"", true));
}

// Without the delay flag a locked file fails the removal, but everything else still goes.
TEST_F(DirectoryTreeTest, LockedFileWithoutDelay) {
    const ov::ScopedHandle locked = lockFile(root + L"\\locked.bin");
    ASSERT_TRUE(locked);
    EXPECT_FALSE(ov::removeDirectoryTree(root, false));
    EXPECT_TRUE(fileExists(root + L"\\locked.bin"));
    EXPECT_FALSE(fileExists(root + L"\\plain.txt"));
    EXPECT_FALSE(fileExists(root + L"\\sub"));
    EXPECT_TRUE(pendingDeletionsUnder(temp.path()).empty());
}

// With the delay flag the locked file and the folder are scheduled for deletion at restart.
TEST_F(DirectoryTreeTest, LockedFileIsScheduledWithDelay) {
    const ov::ScopedHandle locked = lockFile(root + L"\\locked.bin");
    ASSERT_TRUE(locked);
    EXPECT_TRUE(ov::removeDirectoryTree(root, true));
    EXPECT_FALSE(fileExists(root + L"\\plain.txt"));
    EXPECT_FALSE(fileExists(root + L"\\sub"));

    const std::vector<std::wstring> scheduled = pendingDeletionsUnder(temp.path());
    ASSERT_EQ(2u, scheduled.size());
    const std::wstring lockedName = upper(L"\\root\\locked.bin");
    const std::wstring first = upper(scheduled[0]);
    EXPECT_EQ(lockedName, first.substr(first.size() - lockedName.size()));
    const std::wstring second = upper(scheduled[1]);
    EXPECT_EQ(std::wstring(L"\\ROOT"), second.substr(second.size() - 5));
}
