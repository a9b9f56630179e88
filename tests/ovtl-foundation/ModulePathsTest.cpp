#include <ov/Handle.h>
#include <ov/ModulePaths.h>
#include <ov/Win32.h>

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring lower(std::wstring text) {
    CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

// The executable's path names this program, its folder is that path's folder without a trailing
// backslash, and the system folder is system32.
TEST(ModulePathsTest, ExecutableAndSystemFolders) {
    const std::wstring path = ov::getModuleFileName(nullptr);
    ASSERT_TRUE(ovtest::fileExists(path));
    const std::wstring name = L"\\ovtl_foundation_tests.exe";
    ASSERT_GT(path.size(), name.size());
    EXPECT_EQ(name, lower(path.substr(path.size() - name.size())));
    EXPECT_EQ(path.substr(0, path.size() - name.size()), ov::getExecutableFolder());

    const std::wstring system = ov::getSystemDirectory();
    EXPECT_TRUE(ovtest::fileExists(system));
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
