// The logger below what a run of the installer shows: records larger than any the product writes,
// the caller's error code, and the security and junction handling that Wine cannot show on disk.
#include "TestSupport.h"

#include <logging/FileContext.h>
#include <logging/Log.h>
#include <logging/LoggerWin.h>
#include <ov/DirectoryTree.h>
#include <ov/Handle.h>
#include <ov/Str.h>

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <functional>
#include <memory>

using namespace OvKmfLogging;

namespace {

std::string sddlOf(PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
    const std::string sddl(text != nullptr ? text : "none");
    LocalFree(text);
    return sddl;
}

// Wine neither stores nor enforces folder security: folder creation records what it was asked for.
struct RecordingPath : FileSystem::Path {
    explicit RecordingPath(std::vector<std::string>& asked) : asked(asked) {}
    bool createDirectories(const std::wstring&, std::size_t, SECURITY_ATTRIBUTES* security) override {
        asked.push_back(security != nullptr ? sddlOf(security->lpSecurityDescriptor) : "none");
        return true;
    }
    std::vector<std::string>& asked;
};

// Wine cannot create junctions: the log folder is reported as one.
std::wstring junction;
DWORD WINAPI attributesWithJunction(LPCWSTR path) {
    const DWORD attributes = GetFileAttributesW(path);
    return junction == path ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}

// A log of this test below the machine's log root, with the registry sandboxed so that no logging
// setting of the lab applies, but a size limit no test reaches.
class LoggerEdges : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.ok());
        ASSERT_TRUE(
            sandbox.setValue(L"SOFTWARE\\Orvanta\\KMF\\Logging", L"LogMaxSizeKB", REG_DWORD, {0, 0, 1, 0}));
        ov::str::expandEnvironmentStrings(folder);
        ov::removeDirectoryTree(folder, false);
    }
    void TearDown() override { ov::removeDirectoryTree(folder, false); }
    std::vector<std::string> lines() const { return ovtest::readLines(folder + L"\\log.log"); }

    ovtest::RegistrySandbox sandbox;
    std::wstring folder = L"%ProgramData%\\Orvanta\\NS\\ovtest\\Log\\Unit";
    LoggerWin logger;
};

} // namespace

// Records that fill the first buffer (2,048 characters) or the second (65,536) exactly still get
// through; a larger one gives one error record naming its format instead.
TEST_F(LoggerEdges, RecordSizes) {
    logger.open(L"ovtest", L"Unit", L"log", Info, 0);
    for (const std::size_t size : {2047u, 65535u}) {
        logger.log(Info, L"%s", std::wstring(size, L'w').c_str());
        logger.log(Info, "%s", std::string(size, 'n').c_str());
    }
    logger.log(Info, L"%s", std::wstring(65536, L'W').c_str());
    logger.log(Info, "%s", std::string(65536, 'N').c_str());
    logger.close();
    const std::vector<std::string> written = lines();
    ASSERT_EQ(9u, written.size());
    for (std::size_t i = 0; i < 6; ++i) {
        const std::string& line = written[i + 2];
        EXPECT_EQ(i < 4 ? " I: " + std::string(i < 2 ? 2047 : 65535, "wn"[i % 2])
                        : "*E: OV_KMF_LOG failure: too large message. Format: %s",
                  line.substr(line.find("] ") + 2))
            << i;
    }
}

// Logging never changes the caller's last-error code, whatever it does: with a limit of 1 KB the
// record after the long one rotates the file, failing to delete a generation not there yet.
TEST_F(LoggerEdges, LastErrorIsKept) {
    ASSERT_TRUE(
        sandbox.setValue(L"SOFTWARE\\Orvanta\\KMF\\Logging", L"LogMaxSizeKB", REG_DWORD, {1, 0, 0, 0}));
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"open", [&] { logger.open(L"ovtest", L"Unit", L"log", Info, 0); }},
        {"long record", [&] { logger.log(Info, L"%s", std::wstring(1100, L'x').c_str()); }},
        {"record rotating the file", [&] { logger.log(Info, L"written"); }},
        {"filtered", [&] { logger.log(Verbose, L"filtered"); }},
        {"too large", [&] { logger.log(Info, L"%s", std::wstring(70000, L'x').c_str()); }},
        {"narrow", [&] { logger.log(Info, "narrow %d", 1); }},
        {"flush", [&] { logger.flush(); }},
        {"close", [&] { logger.close(); }},
    };
    DWORD code = 1000;
    for (const auto& step : steps) {
        SetLastError(++code);
        step.second();
        EXPECT_EQ(code, GetLastError()) << step.first;
    }
    EXPECT_TRUE(ovtest::fileExists(folder + L"\\log.1.log"));
}

// An administrator's log folder lets everyone signed in read it (inheriting nothing), and only the system and
// administrators share its lock; a junction where a folder level should be is never written
// through: when it cannot be replaced by a real folder, the log stays off.
TEST_F(LoggerEdges, FolderSecurityLockAndJunction) {
    std::vector<std::string> asked;
    FileContext context(std::make_unique<RecordingPath>(asked), L"ovtest", L"Unit", L"log", Info, 0);
    ASSERT_TRUE(context.refresh());
    EXPECT_EQ(std::vector<std::string>{"D:P(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;GXGR;;;AU)"}, asked);
    const ov::ScopedHandle lock(OpenMutexW(READ_CONTROL, FALSE, context.lockName(false).c_str()));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              GetSecurityInfo(lock.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &descriptor));
    EXPECT_EQ("D:(A;;GA;;;SY)(A;;GA;;;BA)", sddlOf(descriptor));
    LocalFree(descriptor);

    ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr));
    const ov::ScopedHandle inside(CreateFileW((folder + L"\\inside").c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    junction = folder;
    FileSystem::queryFileAttributes = &attributesWithJunction;
    logger.open(L"ovtest", L"Unit", L"log", Info, 0);
    logger.log(Info, L"through the junction");
    logger.close();
    FileSystem::queryFileAttributes = &GetFileAttributesW;
    EXPECT_FALSE(ovtest::fileExists(folder + L"\\log.log"));
}
