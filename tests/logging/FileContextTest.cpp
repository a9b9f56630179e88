// The log file context: where the log lives, who may read it, how it rotates and how several
// writers share it. Cases that change the shared logging key are in LoggingMachineTest.cpp.
#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/FileContext.h>
#include <logging/Log.h>
#include <logging/LoggerWin.h>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using namespace OvKmfLogging;
using logtest::kNameSpace;

namespace {

std::string sddlOf(PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return "unreadable";
    }
    const std::string sddl(text);
    LocalFree(text);
    return sddl;
}

// Wine neither stores nor enforces folder security: folder creation records what it was asked for.
class RecordingPath : public FileSystem::Path {
public:
    explicit RecordingPath(std::vector<std::string>& securities) : securities_(securities) {}
    bool createDirectories(const std::wstring&, std::size_t, SECURITY_ATTRIBUTES* security) override {
        securities_.push_back(security != nullptr ? sddlOf(security->lpSecurityDescriptor) : "none");
        return true;
    }

private:
    std::vector<std::string>& securities_;
};

// A primary token of this process without the Administrators group.
HANDLE nonAdministratorToken() {
    HANDLE self = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &self);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                             &admins);
    SID_AND_ATTRIBUTES disable = {admins, 0};
    HANDLE restricted = nullptr;
    CreateRestrictedToken(self, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted);
    FreeSid(admins);
    CloseHandle(self);
    return restricted;
}

// Wine cannot create junctions: the attribute query reports one for this folder.
std::wstring fakeJunction;
DWORD WINAPI attributesWithFakeJunction(LPCWSTR path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && _wcsicmp(path, fakeJunction.c_str()) == 0) {
        return attributes | FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return attributes;
}

// Each test logs into a product folder of its own under the machine root.
class FileContextTest : public ::testing::Test {
protected:
    FileContextTest() : log(logtest::testProduct(), L"ctx") {}

    void openLogger(LoggerWin& logger, unsigned flags = 0) {
        logger.open(kNameSpace, log.product.c_str(), log.logName.c_str(), Info, flags);
    }
    // One session of the logger with these records.
    void logRecords(const std::vector<std::wstring>& texts) {
        LoggerWin logger;
        openLogger(logger);
        for (const std::wstring& text : texts) {
            logger.log(Info, L"%s", text.c_str());
        }
        logger.close();
    }
    void createFolder() {
        ovtest::removeTree(log.folder());
        FileSystem::Path().createDirectories(log.folder(), logtest::commonAppData().size() + 1, nullptr);
    }

    logtest::MachineLog log;
};

} // namespace

// The installer's log lies under the common application data folder in its name space's NS level;
// the default name spaces share ...\Orvanta\Log without the NS levels.
TEST(FilePlacement, AdministratorLogsUnderCommonAppData) {
    const std::wstring product = logtest::testProduct();
    const struct {
        const wchar_t* nameSpace;
        std::wstring product;
        const wchar_t* logName;
        std::wstring file;
    } rows[] = {
        {L"clp", L"Kelvara", L"install-kelvara-win32",
         L"\\Orvanta\\NS\\clp\\Log\\Kelvara\\install-kelvara-win32.log"},
        {L"default", product, L"plain", L"\\Orvanta\\Log\\" + product + L"\\plain.log"},
    };
    for (const auto& row : rows) {
        FileContext context(std::make_unique<FileSystem::Path>(), row.nameSpace, row.product, row.logName,
                            Info, 0);
        EXPECT_TRUE(context.refresh());
        EXPECT_TRUE(context.isAdmin());
        EXPECT_EQ(logtest::commonAppData() + row.file, context.fileName(0));
        EXPECT_TRUE(ovtest::fileExists(context.fileName(0).substr(0, context.fileName(0).rfind(L'\\'))));
    }
    // The installer's own folder stays: the entry tests read their logs from it.
    ovtest::removeTree(logtest::commonAppData() + L"\\Orvanta\\Log\\" + product);
}

// A process without administrator rights logs under the user's local application data.
TEST_F(FileContextTest, NonAdministratorChildLogsUnderTheUserRoot) {
    const std::wstring userFolder = logtest::localAppData() + L"\\Orvanta\\NS\\logtest\\Log\\" + log.product;
    EXPECT_EQ(0u, logtest::runWriter(log.product, L"ctx", 3, L"user", true));
    const std::vector<std::string> lines = ovtest::splitLines(ovtest::readFile(userFolder + L"\\ctx.log"));
    ovtest::removeTree(userFolder);
    EXPECT_EQ(3u, logtest::linesWith(lines, "::writeRecords: user record").size());
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
}

// An administrator's folder is readable by authenticated users unless PrivateDirectory is set, its
// lock is only for SYSTEM and Administrators, and PerUserFileName puts the user's SID in the name.
// A normal process keeps default security and, in its own user's folder, the plain name.
TEST_F(FileContextTest, SecurityAndNameByKindOfProcess) {
    std::vector<std::string> securities;
    FileContext shared(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"a", Info,
                       PerUserFileName);
    ASSERT_TRUE(shared.refresh());
    FileContext own(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"b", Info,
                    PrivateDirectory);
    EXPECT_TRUE(own.refresh());
    HANDLE token = nonAdministratorToken();
    ASSERT_TRUE(token != nullptr && ImpersonateLoggedOnUser(token));
    FileContext user(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"c", Info,
                     PrivateDirectory | PerUserFileName);
    const bool refreshed = user.refresh();
    RevertToSelf();
    CloseHandle(token);
    EXPECT_TRUE(refreshed);
    EXPECT_EQ((std::vector<std::string>{"D:(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;GXGR;;;AU)",
                                        "D:(A;;GA;;;SY)(A;;GA;;;BA)", "none"}),
              securities);
    const std::wstring name = shared.fileName(0);
    EXPECT_EQ(0u, name.find(log.folder() + L"\\a.S-1-5-")) << ovtest::toUtf8(name);
    EXPECT_EQ(name.size() - 4, name.rfind(L".log"));
    EXPECT_EQ(logtest::localAppData() + L"\\Orvanta\\NS\\logtest\\Log\\" + log.product + L"\\c.log",
              user.fileName(0));

    HANDLE lock = OpenMutexW(READ_CONTROL, FALSE, shared.lockName(false).c_str());
    ASSERT_NE(nullptr, lock);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              GetSecurityInfo(lock, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor));
    CloseHandle(lock);
    EXPECT_EQ("D:(A;;GA;;;SY)(A;;GA;;;BA)", sddlOf(descriptor));
    LocalFree(descriptor);
}

// A junction where the log folder should be is replaced by a real folder; one that cannot be
// removed leaves the log off: nothing written into it, the caller's last error kept.
TEST_F(FileContextTest, JunctionInPlaceOfTheFolder) {
    for (const bool removable : {true, false}) {
        SCOPED_TRACE(removable ? "removable" : "not removable");
        createFolder();
        if (!removable) {
            ASSERT_TRUE(ovtest::writeFile(log.folder() + L"\\inside.txt", "x"));
        }
        fakeJunction = log.folder();
        FileSystem::queryFileAttributes = &attributesWithFakeJunction;
        SetLastError(42);
        logRecords({L"through the junction"});
        FileSystem::queryFileAttributes = &GetFileAttributesW;
        EXPECT_EQ(42u, GetLastError());
        EXPECT_EQ(removable, ovtest::fileExists(log.file()));
        EXPECT_EQ(removable, log.content().find(" I: through the junction") != std::string::npos);
    }
}

// The file rotates once it has reached LogMaxSizeKB (50 when unset): only the current file and
// two older ones remain, each rotated one just past the limit, and no record is split.
TEST_F(FileContextTest, RotationKeepsTwoGenerations) {
    const struct {
        DWORD limitKB;
        bool configured;
        int count;
    } rows[] = {{1, true, 60}, {50, false, 900}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.limitKB);
        ovtest::removeTree(log.folder());
        logtest::LoggingValue limit(log.product + L"\\ctx", L"LogMaxSizeKB");
        if (row.configured) {
            limit.setDword(row.limitKB);
        }
        std::vector<std::wstring> texts;
        for (int i = 1; i <= row.count; ++i) {
            texts.push_back(L"record " + std::to_wstring(i) + L" " + std::wstring(90, L'r') + L"|");
        }
        logRecords(texts);
        for (int generation = 0; generation <= 3; ++generation) {
            EXPECT_EQ(generation < 3, ovtest::fileExists(log.file(generation))) << generation;
        }

        std::vector<int> numbers;
        for (int generation = 2; generation >= 0; --generation) {
            const std::string content = ovtest::readFile(log.file(generation));
            std::size_t longest = 0;
            for (const std::string& line : ovtest::splitLines(content)) {
                longest = std::max(longest, line.size() + 2);
                int number = 0;
                if (sscanf(logtest::parseRecord(line).text.c_str(), "record %d", &number) == 1) {
                    EXPECT_EQ('|', line.back()) << line;
                    numbers.push_back(number);
                }
            }
            EXPECT_LT(content.size(), row.limitKB * 1024 + longest) << generation;
            if (generation > 0) {
                EXPECT_GE(content.size(), row.limitKB * 1024) << generation;
            }
        }
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(row.count, numbers.back());
        for (std::size_t i = 1; i < numbers.size(); ++i) {
            EXPECT_EQ(numbers[i - 1] + 1, numbers[i]);
        }
    }
}

// A file that starts with a UTF-16 byte-order mark, or has a second name elsewhere, is moved to
// generation 1 rather than appended to; the other name keeps its content.
TEST_F(FileContextTest, ForeignFileIsRotatedAway) {
    ovtest::TempDir elsewhere(L"loglink");
    for (const bool hardLink : {false, true}) {
        SCOPED_TRACE(hardLink ? "hard link" : "UTF-16");
        createFolder();
        const std::string old = hardLink ? std::string("precious") : std::string("\xFF\xFEo\0l\0d\0", 8);
        const std::wstring other = elsewhere / L"precious.txt";
        ASSERT_TRUE(ovtest::writeFile(hardLink ? other : log.file(), old));
        ASSERT_TRUE(!hardLink || CreateHardLinkW(log.file().c_str(), other.c_str(), nullptr));
        logRecords({L"fresh"});
        EXPECT_EQ(old, ovtest::readFile(log.file(1)));
        EXPECT_EQ(hardLink ? old : "", ovtest::readFile(other));
        EXPECT_EQ(0u, log.content().find("\r\n"));
        EXPECT_NE(std::string::npos, log.content().find(" I: fresh\r\n"));
    }
}

// Records of four processes writing at once all arrive whole and once, each writer's in order.
TEST_F(FileContextTest, FourProcessesShareOneFile) {
    logtest::LoggingValue limit(log.product + L"\\ctx", L"LogMaxSizeKB");
    limit.setDword(100000); // all records in one file
    const int writers = 4;
    const int perWriter = 150;
    std::vector<unsigned long> codes(writers, 1);
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            codes[w] = logtest::runWriter(log.product, L"ctx", perWriter, L"w" + std::to_wstring(w));
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<unsigned long>(writers, 0), codes);
    const std::vector<std::string> lines = log.lines();
    // Each writer's run also has its empty line and two banners.
    EXPECT_EQ(static_cast<std::size_t>(writers * (perWriter + 3)), lines.size());
    EXPECT_EQ(static_cast<std::size_t>(writers), logtest::linesWith(lines, "LOGGING STARTED").size());
    std::vector<int> last(writers, 0);
    for (const std::string& line : logtest::linesWith(lines, "writeRecords: ")) {
        const logtest::Record r = logtest::parseRecord(line);
        int w = -1;
        int i = -1;
        ASSERT_TRUE(r.valid && sscanf(r.text.c_str(), "::writeRecords: w%d record %d", &w, &i) == 2 &&
                    w >= 0 && w < writers)
            << line;
        EXPECT_EQ("::writeRecords: w" + std::to_string(w) + " record " + std::to_string(i) + " of " +
                      std::to_string(perWriter) + " " + std::string(80, '=') + "|",
                  r.text);
        EXPECT_EQ(last[w] + 1, i) << line;
        last[w] = i;
    }
    EXPECT_EQ(std::vector<int>(writers, perWriter), last);
}

// While another writer holds the log's lock past the 500 ms wait, exactly the records written
// meanwhile are dropped and logging resumes; with PrivateLock the shared lock is not waited for.
TEST_F(FileContextTest, HeldLockDropsTheRecordsWrittenMeanwhile) {
    // The lock name every writer of this file derives, whatever process or product it belongs to.
    std::wstring lockName = log.file().substr(0, log.file().size() - 4);
    std::replace(lockName.begin(), lockName.end(), L'\\', L'_');
    lockName = L"Global\\OvKmfLogging_" + lockName;
    for (const unsigned flags : {0u, static_cast<unsigned>(PrivateLock)}) {
        SCOPED_TRACE(flags);
        ovtest::removeTree(log.folder());
        LoggerWin logger;
        openLogger(logger, flags);
        logger.log(Info, L"before");
        std::promise<bool> held;
        std::promise<void> release;
        std::thread holder([&] {
            HANDLE lock = CreateMutexW(nullptr, FALSE, lockName.c_str());
            held.set_value(lock != nullptr && WaitForSingleObject(lock, 10000) == WAIT_OBJECT_0);
            release.get_future().wait();
            ReleaseMutex(lock);
            CloseHandle(lock);
        });
        EXPECT_TRUE(held.get_future().get());
        logger.log(Info, L"while held 1");
        logger.log(Info, L"while held 2");
        release.set_value();
        holder.join();
        logger.log(Info, L"after");
        logger.close();
        std::vector<std::string> expected{"",
                                          " I: ***  LOGGING STARTED  ***",
                                          " I: before",
                                          " I: while held 1",
                                          " I: while held 2",
                                          " I: after",
                                          " I: ***  LOGGING ENDED  ***"};
        if (flags == 0) {
            expected.erase(expected.begin() + 3, expected.begin() + 5);
        }
        EXPECT_EQ(expected, log.fromLabels());
    }
}
