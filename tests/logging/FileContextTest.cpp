// The log file context: where the log lives, who may read it, how it rotates and how several
// processes share it. Cases that change the shared logging key are in LoggingMachineTest.cpp.
#include "LogTestSupport.h"

#include <TestSupport.h>
#include <logging/FileContext.h>
#include <logging/Log.h>
#include <logging/LogPaths.h>
#include <logging/LoggerWin.h>
#include <logging/SecurityAttributes.h>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using namespace OvKmfLogging;
using logtest::currentTestName;
using logtest::record;

namespace {

const wchar_t kNameSpace[] = L"logtest";

std::string sddlOf(const SECURITY_ATTRIBUTES* attributes) {
    if (attributes == nullptr) {
        return "none";
    }
    if (attributes->lpSecurityDescriptor == nullptr) {
        return "default";
    }
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
            attributes->lpSecurityDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return "unreadable";
    }
    const std::string sddl(text);
    LocalFree(text);
    return sddl;
}

std::wstring processUserSidText() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    unsigned char buffer[512];
    DWORD size = 0;
    std::wstring sid;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size)) {
        wchar_t* text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
            sid = text;
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return sid;
}

std::vector<std::wstring> filesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.push_back(data.cFileName);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Folder creation as the file context asks for it, recorded instead of done.
class RecordingPath : public FileSystem::Path {
public:
    explicit RecordingPath(std::vector<std::string>& securities, bool succeed = true)
        : securities_(securities), succeed_(succeed) {}
    bool createDirectories(const std::wstring&, std::size_t, SECURITY_ATTRIBUTES* security) override {
        securities_.push_back(sddlOf(security));
        return succeed_;
    }

private:
    std::vector<std::string>& securities_;
    bool succeed_;
};

// A logger whose file context works through the given path operations.
class LoggerWithPath : public LoggerWin {
public:
    explicit LoggerWithPath(std::function<std::unique_ptr<FileSystem::Path>()> makePath)
        : makePath_(std::move(makePath)) {}
    FileContextBase* createFileContext(const wchar_t* nameSpace, const wchar_t* product,
                                       const wchar_t* logName, int level, unsigned flags) override {
        return new FileContext(makePath_(), nameSpace, product, logName, level, flags);
    }

private:
    std::function<std::unique_ptr<FileSystem::Path>()> makePath_;
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

// Each test logs into a product folder of its own under the machine root.
class FileContextTest : public ::testing::Test {
protected:
    FileContextTest() : log(kNameSpace, currentTestName(), L"ctx") {}

    std::unique_ptr<FileContext> context(unsigned flags = 0) {
        return std::make_unique<FileContext>(std::make_unique<FileSystem::Path>(), kNameSpace, log.product,
                                             log.logName, Info, flags);
    }
    void openLogger(LoggerWin& logger) {
        logger.open(kNameSpace, log.product.c_str(), log.logName.c_str(), Info, 0);
    }

    logtest::MachineLog log;
};

} // namespace

// The installation action's own log: ...\Orvanta\NS\clp\Log\Kelvara\install-kelvara-win32.log
// under the common application data folder, with its older generations beside it.
TEST(FilePlacement, InstallerLogOfAnAdministrator) {
    FileContext context(std::make_unique<FileSystem::Path>(), L"clp", L"Kelvara", L"install-kelvara-win32",
                        Info, 0);
    EXPECT_TRUE(context.refresh());
    EXPECT_TRUE(context.isAdmin());
    const std::wstring folder = logtest::commonAppData() + L"\\Orvanta\\NS\\clp\\Log\\Kelvara";
    EXPECT_EQ(folder + L"\\install-kelvara-win32.log", context.fileName(0));
    EXPECT_EQ(folder + L"\\install-kelvara-win32.1.log", context.fileName(1));
    EXPECT_EQ(folder + L"\\install-kelvara-win32.2.log", context.fileName(2));
    EXPECT_TRUE(ovtest::fileExists(folder));
    EXPECT_FALSE(context.refresh()); // the folder is set up once
    EXPECT_EQ(folder + L"\\install-kelvara-win32.log", context.fileName(0));
}

// The default name spaces share ...\Orvanta\Log without the NS levels.
TEST(FilePlacement, DefaultNameSpaceHasNoNsLevels) {
    const std::wstring product = L"FilePlacement.Default";
    const std::wstring folder = logtest::commonAppData() + L"\\Orvanta\\Log\\" + product;
    {
        LoggerWin logger;
        logger.open(L"default", product.c_str(), L"plain", Info, 0);
        record(logger, Info, "f", L"in the common folder");
        logger.close();
    }
    EXPECT_NE(std::string::npos, ovtest::readFile(folder + L"\\plain.log").find("f: in the common folder"));
    ovtest::removeTree(folder);
}

// Elevated processes of several users can keep apart: the file name carries the user's SID. A
// normal process logs under its own user's folder already and keeps the plain name.
TEST_F(FileContextTest, PerUserFileNameCarriesTheSid) {
    std::unique_ptr<FileContext> perUser = context(PerUserFileName);
    ASSERT_TRUE(perUser->refresh());
    const std::wstring sid = processUserSidText();
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(log.folder() + L"\\ctx." + sid + L".log", perUser->fileName(0));
    EXPECT_EQ(log.folder() + L"\\ctx." + sid + L".1.log", perUser->fileName(1));

    std::vector<std::string> securities;
    FileContext user(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"ctx", Info,
                     PerUserFileName);
    HANDLE token = nonAdministratorToken();
    ASSERT_NE(nullptr, token);
    ASSERT_TRUE(ImpersonateLoggedOnUser(token));
    const bool refreshed = user.refresh();
    RevertToSelf();
    CloseHandle(token);
    EXPECT_TRUE(refreshed);
    const std::wstring name = user.fileName(0);
    EXPECT_EQ(name.size() - 8, name.rfind(L"\\ctx.log")) << ovtest::toUtf8(name);
}

// A process without administrator rights logs under the user's local application data.
TEST_F(FileContextTest, NonAdministratorChildLogsUnderTheUserRoot) {
    const std::wstring userFolder = logtest::localAppData() + L"\\Orvanta\\NS\\logtest\\Log\\" + log.product;
    ovtest::removeTree(userFolder);
    ovtest::ProcessOptions options;
    options.asNonAdministrator = true;
    const unsigned long code = ovtest::runProcess(ovtest::quote(logtest::writerExe()) + L" write logtest " +
                                                      ovtest::quote(log.product) + L" ctx 3 user",
                                                  options);
    EXPECT_EQ(0u, code);
    const std::vector<std::string> lines = ovtest::splitLines(ovtest::readFile(userFolder + L"\\ctx.log"));
    EXPECT_EQ(3u, logtest::linesWith(lines, "::writeRecords: user record").size());
    EXPECT_EQ(1u, logtest::linesWith(lines, "LOGGING STARTED").size());
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
    ovtest::removeTree(userFolder);
}

// Administrators create the folder with a fixed access list; normal users keep the default.
TEST_F(FileContextTest, FolderSecurityByKindOfProcess) {
    std::vector<std::string> securities;
    FileContext shared(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"a", Info, 0);
    EXPECT_TRUE(shared.refresh());
    FileContext own(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"b", Info,
                    PrivateDirectory);
    EXPECT_TRUE(own.refresh());

    HANDLE token = nonAdministratorToken();
    ASSERT_NE(nullptr, token);
    ASSERT_TRUE(ImpersonateLoggedOnUser(token));
    FileContext user(std::make_unique<RecordingPath>(securities), kNameSpace, log.product, L"c", Info,
                     PrivateDirectory);
    const bool refreshed = user.refresh();
    RevertToSelf();
    CloseHandle(token);

    EXPECT_TRUE(refreshed);
    EXPECT_FALSE(user.isAdmin());
    EXPECT_FALSE(user.isLowIntegrity());
    EXPECT_EQ(0u, user.fileName(0).find(logtest::localAppData() + L"\\Orvanta\\NS\\logtest\\Log\\"));
    ASSERT_EQ(3u, securities.size());
    EXPECT_EQ(sddlOf(createSecurityAttributes(kSharedFolderSddl).get()), securities[0]);
    EXPECT_EQ(sddlOf(createSecurityAttributes(kPrivateSddl).get()), securities[1]);
    EXPECT_NE(std::string::npos, securities[0].find("(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;"))
        << securities[0];
    EXPECT_EQ("D:(A;;GA;;;SY)(A;;GA;;;BA)", securities[1]);
    EXPECT_EQ("none", securities[2]);
}

// A folder that cannot be created: no banner, no file, every record dropped without complaint.
TEST_F(FileContextTest, UncreatableFolderDropsRecords) {
    std::vector<std::string> securities;
    LoggerWithPath logger([&securities] { return std::make_unique<RecordingPath>(securities, false); });
    SetLastError(42);
    openLogger(logger);
    record(logger, Fatal, "f", L"dropped");
    logger.flush();
    logger.close();
    EXPECT_EQ(42u, GetLastError());
    EXPECT_EQ(1u, securities.size());
    EXPECT_FALSE(ovtest::fileExists(log.folder()));
}

namespace {

std::wstring fakeReparsePoint;
DWORD WINAPI attributesWithFakeReparsePoint(LPCWSTR path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && _wcsicmp(path, fakeReparsePoint.c_str()) == 0) {
        return attributes | FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return attributes;
}

// Wine cannot create junctions: the attribute query reports one for the given folder.
class FakeReparsePoint {
public:
    explicit FakeReparsePoint(const std::wstring& path) {
        fakeReparsePoint = path;
        FileSystem::queryFileAttributes = &attributesWithFakeReparsePoint;
    }
    ~FakeReparsePoint() { FileSystem::queryFileAttributes = &GetFileAttributesW; }
};

} // namespace

// A junction where a log folder level should be is replaced by a real folder.
TEST(CreateDirectories, ReparsePointIsReplacedByAFolder) {
    ovtest::TempDir root(L"logreparse");
    const std::wstring junction = root / L"Orvanta";
    ASSERT_TRUE(CreateDirectoryW(junction.c_str(), nullptr));
    bool created = false;
    {
        FakeReparsePoint fake(junction);
        FileSystem::Path path;
        created = path.createDirectories(junction + L"\\Log\\P", root.path().size() + 1, nullptr);
    }
    EXPECT_TRUE(created);
    EXPECT_TRUE(ovtest::fileExists(junction + L"\\Log\\P"));
}

// A junction that cannot be removed leaves the log without a folder.
TEST(CreateDirectories, IrremovableReparsePointFails) {
    ovtest::TempDir root(L"logreparse");
    const std::wstring junction = root / L"Orvanta";
    ASSERT_TRUE(CreateDirectoryW(junction.c_str(), nullptr));
    ASSERT_TRUE(ovtest::writeFile(junction + L"\\inside.txt", "x")); // not empty: removal fails
    FakeReparsePoint fake(junction);
    FileSystem::Path path;
    EXPECT_FALSE(path.createDirectories(junction + L"\\Log", root.path().size() + 1, nullptr));
    EXPECT_FALSE(ovtest::fileExists(junction + L"\\Log"));
}

// LogMaxSizeKB = 1: the file rotates at 1,024 bytes; only the current file and two older ones remain,
// each near the limit, and no record is split between two files.
TEST_F(FileContextTest, RotationKeepsTwoGenerations) {
    logtest::LoggingValue limit(log.product + L"\\" + log.logName, L"LogMaxSizeKB");
    limit.setDword(1);
    const int count = 60;
    {
        LoggerWin logger;
        openLogger(logger);
        for (int i = 1; i <= count; ++i) {
            record(logger, Info, "rotation", L"record %03d %s|", i, std::wstring(90, L'r').c_str());
        }
        logger.close();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"ctx.1.log", L"ctx.2.log", L"ctx.log"}), filesIn(log.folder()));

    std::vector<int> numbers;
    std::size_t longest = 0;
    for (int generation = 2; generation >= 0; --generation) {
        const std::string content = ovtest::readFile(log.file(generation));
        for (const std::string& line : ovtest::splitLines(content)) {
            longest = std::max(longest, line.size() + 2);
            const logtest::Record r = logtest::parseRecord(line);
            int number = 0;
            if (sscanf(r.text.c_str(), "rotation: record %d", &number) == 1) {
                EXPECT_EQ('|', r.text.back()) << line;
                numbers.push_back(number);
            }
        }
    }
    for (int generation = 2; generation >= 0; --generation) {
        const std::size_t size = ovtest::readFile(log.file(generation)).size();
        EXPECT_LT(size, 1024u + longest) << generation;
        if (generation > 0) {
            EXPECT_GE(size, 1024u) << generation;
        }
    }
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(count, numbers.back());
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i - 1] + 1, numbers[i]);
    }
}

// A file that starts with a UTF-16 byte-order mark is moved aside, not appended to.
TEST_F(FileContextTest, Utf16FileIsRotatedAway) {
    ovtest::removeTree(log.folder());
    FileSystem::Path().createDirectories(log.folder(), logtest::commonAppData().size() + 1, nullptr);
    const std::string utf16("\xFF\xFEo\0l\0d\0", 8);
    ASSERT_TRUE(ovtest::writeFile(log.file(), utf16));
    {
        LoggerWin logger;
        openLogger(logger);
        record(logger, Info, "f", L"fresh");
        logger.close();
    }
    EXPECT_EQ(utf16, ovtest::readFile(log.file(1)));
    const std::string current = log.content();
    EXPECT_EQ("\r\n", current.substr(0, 2));
    EXPECT_NE(std::string::npos, current.find("f: fresh\r\n"));
}

// A log file with a second name elsewhere is refused and moved aside; the other name keeps its content.
TEST_F(FileContextTest, HardLinkedFileIsRotatedAway) {
    ovtest::TempDir elsewhere(L"loglink");
    const std::wstring target = elsewhere / L"precious.txt";
    ASSERT_TRUE(ovtest::writeFile(target, "precious content"));
    FileSystem::Path().createDirectories(log.folder(), logtest::commonAppData().size() + 1, nullptr);
    ASSERT_TRUE(CreateHardLinkW(log.file().c_str(), target.c_str(), nullptr));
    {
        LoggerWin logger;
        openLogger(logger);
        record(logger, Info, "f", L"not into the link");
        logger.close();
    }
    EXPECT_EQ("precious content", ovtest::readFile(target));
    EXPECT_EQ("precious content", ovtest::readFile(log.file(1)));
    EXPECT_NE(std::string::npos, log.content().find("f: not into the link"));
}

// Records of several processes writing at once all arrive, whole and once, each writer's in order.
TEST_F(FileContextTest, FourProcessesShareOneFile) {
    logtest::LoggingValue limit(log.product + L"\\" + log.logName, L"LogMaxSizeKB");
    limit.setDword(100000); // all records in one file
    const int writers = 4;
    const int perWriter = 150;
    std::vector<unsigned long> codes(writers, 1);
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([this, w, &codes] {
            codes[w] = ovtest::runProcess(ovtest::quote(logtest::writerExe()) + L" write logtest " +
                                          ovtest::quote(log.product) + L" ctx " + std::to_wstring(perWriter) +
                                          L" w" + std::to_wstring(w));
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int w = 0; w < writers; ++w) {
        EXPECT_EQ(0u, codes[w]) << w;
    }
    const std::vector<std::string> lines = log.lines();
    std::vector<int> last(writers, 0);
    std::set<std::string> seen;
    const std::string padding(80, '=');
    for (const std::string& line : logtest::linesWith(lines, "writeRecords: ")) {
        const logtest::Record r = logtest::parseRecord(line);
        ASSERT_TRUE(r.valid) << line;
        int w = -1;
        int i = -1;
        int total = -1;
        ASSERT_EQ(3, sscanf(r.text.c_str(), "::writeRecords: w%d record %d of %d", &w, &i, &total)) << line;
        ASSERT_TRUE(w >= 0 && w < writers) << line;
        EXPECT_EQ("::writeRecords: w" + std::to_string(w) + " record " + std::to_string(i) + " of " +
                      std::to_string(perWriter) + " " + padding + "|",
                  r.text);
        EXPECT_EQ(last[w] + 1, i) << line;
        last[w] = i;
        EXPECT_TRUE(seen.insert(r.text).second) << line;
    }
    EXPECT_EQ(static_cast<std::size_t>(writers * perWriter), seen.size());
    EXPECT_EQ(static_cast<std::size_t>(writers), logtest::linesWith(lines, "LOGGING STARTED").size());
    EXPECT_EQ(static_cast<std::size_t>(writers), logtest::linesWith(lines, "LOGGING ENDED").size());
}

namespace {

// Another process that holds a log's cross-process lock until released.
class LockHolder {
public:
    explicit LockHolder(const std::wstring& lockName) {
        const std::wstring suffix = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count_);
        const std::wstring heldName = L"Local\\logtest-held-" + suffix;
        const std::wstring releaseName = L"Local\\logtest-release-" + suffix;
        held_ = CreateEventW(nullptr, TRUE, FALSE, heldName.c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
        thread_ = std::thread([this, lockName, heldName, releaseName] {
            code_ = ovtest::runProcess(ovtest::quote(logtest::writerExe()) + L" hold " +
                                       ovtest::quote(lockName) + L" " + heldName + L" " + releaseName);
            SetEvent(held_); // also when the child failed: nobody waits for ever
        });
        isHeld_ = WaitForSingleObject(held_, 60000) == WAIT_OBJECT_0 && code_ == 0xFFFFFFFDul;
    }
    ~LockHolder() { release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool isHeld() const { return isHeld_; }
    // Lets the child release the lock and end; its exit code (0 when all went well).
    unsigned long release() {
        if (thread_.joinable()) {
            SetEvent(release_);
            thread_.join();
            CloseHandle(held_);
            CloseHandle(release_);
        }
        return code_;
    }

private:
    static int count_;
    HANDLE held_ = nullptr;
    HANDLE release_ = nullptr;
    std::thread thread_;
    std::atomic<unsigned long> code_{0xFFFFFFFDul}; // still running
    bool isHeld_ = false;
};
int LockHolder::count_ = 0;

} // namespace

// While another process holds the log's lock, records are dropped after the wait; then logging resumes.
TEST_F(FileContextTest, LockHeldByAnotherProcessDropsRecords) {
    LoggerWin logger;
    openLogger(logger);
    record(logger, Info, "f", L"before");
    {
        const std::wstring basePath = log.file().substr(0, log.file().size() - 4);
        LockHolder holder(lockNameFor(basePath, false));
        ASSERT_TRUE(holder.isHeld());
        for (int i = 1; i <= 3; ++i) {
            record(logger, Info, "f", L"while held %d", i);
        }
        EXPECT_EQ(0u, holder.release());
    }
    record(logger, Info, "f", L"after 1");
    record(logger, Info, "f", L"after 2");
    logger.close();
    const std::vector<std::string> lines = log.lines();
    EXPECT_EQ(1u, logtest::linesWith(lines, "f: before").size());
    EXPECT_TRUE(logtest::linesWith(lines, "while held").empty());
    EXPECT_EQ(1u, logtest::linesWith(lines, "f: after 1").size());
    EXPECT_EQ(1u, logtest::linesWith(lines, "f: after 2").size());
    EXPECT_EQ(1u, logtest::linesWith(lines, "LOGGING ENDED").size());
}

// With a private lock the process does not wait for other processes' lock at all.
TEST_F(FileContextTest, PrivateLockIgnoresTheSharedLock) {
    LoggerWin logger;
    logger.open(kNameSpace, log.product.c_str(), log.logName.c_str(), Info, PrivateLock);
    {
        const std::wstring basePath = log.file().substr(0, log.file().size() - 4);
        LockHolder holder(lockNameFor(basePath, false));
        ASSERT_TRUE(holder.isHeld());
        record(logger, Info, "f", L"while held");
        EXPECT_EQ(0u, holder.release());
    }
    logger.close();
    EXPECT_EQ(1u, logtest::linesWith(log.lines(), "f: while held").size());
}

// An administrator's lock admits only SYSTEM and Administrators.
TEST_F(FileContextTest, AdministratorLockSecurity) {
    std::unique_ptr<FileContext> ctx = context();
    ASSERT_TRUE(ctx->refresh());
    HANDLE lock = OpenMutexW(READ_CONTROL, FALSE, ctx->lockName(false).c_str());
    ASSERT_NE(nullptr, lock);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = GetSecurityInfo(lock, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                         nullptr, nullptr, &descriptor);
    CloseHandle(lock);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), result);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    EXPECT_EQ(sddlOf(createSecurityAttributes(kPrivateSddl).get()), sddlOf(&attributes));
    LocalFree(descriptor);
}

// The configured level under the product's log key replaces the level given to open.
TEST_F(FileContextTest, ConfiguredLevelAppliesAtOpen) {
    logtest::LoggingValue level(log.product + L"\\" + log.logName, L"LogLevel");
    level.setDword(Verbose);
    LoggerWin logger;
    openLogger(logger);
    record(logger, Verbose, "f", L"verbose");
    logger.close();
    EXPECT_EQ(1u, logtest::linesWith(log.lines(), " V: f: verbose").size());
}

// A file is removed by renaming it aside first, so its name is free at once; nothing is left behind.
TEST_F(FileContextTest, RemoveFileRenamesAsideAndDeletes) {
    std::unique_ptr<FileContext> ctx = context();
    ASSERT_TRUE(ctx->refresh());
    const std::wstring doomed = log.folder() + L"\\doomed.log";
    ASSERT_TRUE(ovtest::writeFile(doomed, "x"));
    // Held open with full sharing, as another process logging to it would.
    HANDLE user =
        CreateFileW(doomed.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ctx->removeFile(doomed);
    CloseHandle(user);
    EXPECT_FALSE(ovtest::fileExists(doomed));
    for (const std::wstring& name : filesIn(log.folder())) {
        EXPECT_EQ(std::wstring::npos, name.find(L"__delete_")) << ovtest::toUtf8(name);
    }
}
