#include <ov/Handle.h>
#include <ov/ModulePaths.h>
#include <ov/Win32.h>

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <string>

namespace {

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(towlower(c));
    }
    return text;
}

} // namespace

// The executable's path names this test program, and its folder is that path's folder.
TEST(ModulePathsTest, ExecutableAndFolder) {
    const std::wstring path = ov::getModuleFileName(nullptr);
    ASSERT_TRUE(ovtest::fileExists(path));
    const std::wstring name = L"\\ovtl_foundation_tests.exe";
    ASSERT_GT(path.size(), name.size());
    EXPECT_EQ(name, lower(path.substr(path.size() - name.size())));

    const std::wstring folder = ov::getExecutableFolder();
    EXPECT_EQ(path.substr(0, path.size() - name.size()), folder);
    EXPECT_TRUE(isFolder(folder));
}

// The system folder exists and is the system32 folder.
TEST(ModulePathsTest, SystemDirectory) {
    const std::wstring system = ov::getSystemDirectory();
    EXPECT_TRUE(isFolder(system));
    EXPECT_EQ(std::wstring(L"\\system32"), lower(system.substr(system.rfind(L'\\'))));
}

// A module in a folder deeper than 256 characters still gives its whole path.
TEST(ModulePathsTest, PathLongerThanTheFirstBuffer) {
    ovtest::TempDir temp(L"ovlong");
    std::wstring folder = temp.path();
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring copy = folder + L"\\ovtl_foundation_tests.exe";
    ASSERT_TRUE(ovtest::copyFile(ov::getModuleFileName(nullptr), copy));

    // Mapped as a module without running it; programs cannot be started from such a folder.
    const ov::ScopedLibrary module(LoadLibraryExW(copy.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(module) << GetLastError();
    EXPECT_EQ(lower(copy), lower(ov::getModuleFileName(module.get())));
}
