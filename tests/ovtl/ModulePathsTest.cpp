// The executable's folder, also when it lies deeper than a fixed path buffer reaches.
#include <ov/Handle.h>
#include <ov/ModulePaths.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

TEST(ModulePaths, PathLongerThanAPathBuffer) {
    ovtest::TempDir temp(L"ovlong");
    std::wstring folder = temp.path();
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring copy = folder + L"\\ovtl_tests.exe";
    ASSERT_TRUE(CopyFileW(ov::getModuleFileName(nullptr).c_str(), copy.c_str(), FALSE));
    // Mapped as a module without running it; programs cannot be started from such a folder.
    const ov::ScopedLibrary module(LoadLibraryExW(copy.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(module) << GetLastError();
    EXPECT_EQ(0, _wcsicmp(copy.c_str(), ov::getModuleFileName(module.get()).c_str()));
}
