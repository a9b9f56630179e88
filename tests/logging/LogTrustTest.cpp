// What an elevated logger trusts of what an ordinary user may have prepared: folder levels judged
// from their security descriptors (Wine stores no file ACLs and makes no junctions, so the
// descriptors Windows reports come from a table) and log files. The lock name taken by others is
// shown by the rows of tests/scenarios/test_hardening.py.
#include "TestSupport.h"

#include <logging/Log.h>
#include <logging/LogTrust.h>
#include <logging/LoggerWin.h>
#include <ov/DirectoryTree.h>
#include <ov/Handle.h>
#include <ov/Str.h>

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

using namespace OvKmfLogging;

namespace {

const char kSelf[] = "S-1-5-21-0-0-0-1000"; // the installing account (Wine's user)
const char kUser[] = "S-1-5-21-1-2-3-1001"; // an ordinary other user

PSID sid(const char* text) {
    PSID result = nullptr;
    ConvertStringSidToSidA(text, &result);
    return result; // freed at process exit
}

LevelVerdict judge(const std::string& sddl, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr))
        << sddl;
    const ov::ScopedLocalMemory owner(descriptor);
    return judgeLevel(attributes, descriptor, {sid(kSelf)});
}

} // namespace

// A level is used only when it is a plain folder that only the system, the administrators and the
// installing account own and can change.
TEST(LogTrust, FolderLevels) {
    const std::string self = kSelf;
    const std::string user = kUser;
    const std::string ours = "(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;GRGX;;;AU)";
    const struct {
        std::string sddl;
        LevelVerdict verdict;
    } rows[] = {
        {"O:BAD:P" + ours, LevelVerdict::Trusted}, // as we create it
        {"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;0x116;;;BU)",
         LevelVerdict::ForeignWriter}, // ProgramData's default: users add files and folders
        {"O:" + user + "D:P" + ours, LevelVerdict::ForeignOwner},
        {"O:BAD:P" + ours + "(A;;0x2;;;" + user + ")", LevelVerdict::ForeignWriter},
        {"O:BAD:P" + ours + "(A;;0x40;;;BU)", LevelVerdict::ForeignWriter}, // delete child
        {"O:BAD:P" + ours + "(A;;WD;;;WD)", LevelVerdict::ForeignWriter},   // write DAC
        {"O:BAD:P" + ours + "(A;;GW;;;BU)", LevelVerdict::ForeignWriter},
        {"O:BAD:P" + ours + "(A;OICIIO;FA;;;BU)", LevelVerdict::Trusted}, // for children only
        {"O:BAD:P(D;;FA;;;BU)" + ours, LevelVerdict::Trusted},            // a deny grants nothing
        {"O:BAD:(D;;FA;;;WD)", LevelVerdict::Trusted},
        {"O:BA", LevelVerdict::NoDacl},
        // What Wine reports for a folder of mode 0755, and of mode 0777.
        {"O:" + self + "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + self + ")(A;OICI;0x1200a9;;;WD)",
         LevelVerdict::Trusted},
        {"O:" + self + "D:(A;OICI;FA;;;" + self + ")(A;OICI;0x1301ff;;;WD)", LevelVerdict::ForeignWriter},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.verdict, judge(row.sddl)) << row.sddl;
    }
    EXPECT_EQ(LevelVerdict::ReparsePoint,
              judge("O:BAD:P" + ours, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(LevelVerdict::NotADirectory, judge("O:BAD:P" + ours, FILE_ATTRIBUTE_NORMAL));
}

// A log file with a second name, or one that is a link, is rotated away instead of written.
TEST(LogTrust, LogFiles) {
    EXPECT_TRUE(isPlainLogFile(FILE_ATTRIBUTE_ARCHIVE, 1));
    EXPECT_FALSE(isPlainLogFile(FILE_ATTRIBUTE_ARCHIVE, 2));
    EXPECT_FALSE(isPlainLogFile(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, 1));
}

// A level that others may write to is not used: the run keeps going without a log.
TEST(LogTrust, WritableLevelIsNotUsed) {
    ovtest::RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    std::wstring folder = L"%ProgramData%\\Orvanta\\NS\\ovtest\\Log\\Trust";
    ov::str::expandEnvironmentStrings(folder);
    ov::removeDirectoryTree(folder, false);
    ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr));
    // Wine keeps the DACL as the Unix mode: everyone may write.
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                     &open, nullptr));
    const ov::ScopedLocalMemory owner(open);
    ASSERT_TRUE(SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, open));
    LoggerWin logger;
    logger.open(L"ovtest", L"Trust", L"log", Info, 0);
    logger.log(Info, L"into a folder others may change");
    logger.close();
    EXPECT_FALSE(ovtest::fileExists(folder + L"\\log.log"));
    ov::removeDirectoryTree(folder, false);
}
