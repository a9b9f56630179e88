// The rules behind process control, without any process: command lines and name matching.
#include <install-common/ExecuteApplication.h>

#include <gtest/gtest.h>

namespace {

using namespace ExecuteApplication;

// The path is quoted as it is and always followed by one blank.
TEST(ProcessRulesTest, CommandLine) {
    EXPECT_EQ(L"\"C:\\Program Files\\x\\tool.exe\" install",
              buildCommandLine(L"C:\\Program Files\\x\\tool.exe", L"install"));
    EXPECT_EQ(L"\"tool.exe\" ", buildCommandLine(L"tool.exe", L""));
    EXPECT_EQ(L"\"a\"b\" c", buildCommandLine(L"a\"b", L"c"));
}

// Only A to Z are folded; every other character, also other letters, is kept.
TEST(ProcessRulesTest, AsciiOnlyFolding) {
    EXPECT_EQ(L"kelvara.exe @[`{", toLowerAscii(L"KELVARA.exe @[`{"));
    EXPECT_EQ(L"\u00C4\u00D6\u0130x", toLowerAscii(L"\u00C4\u00D6\u0130X"));
    EXPECT_TRUE(equalsIgnoringAsciiCase(L"OpenVPN.exe", L"openvpn.EXE"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"\u00C4.exe", L"\u00E4.exe"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"openvpn.exe", L"openvpn.exe "));
}

// A substring anywhere in the path, not only at its start.
TEST(ProcessRulesTest, FolderMatch) {
    const std::wstring path = L"C:\\Program Files (x86)\\Orvanta\\Kelvara\\2.1\\Kelvara.exe";
    EXPECT_TRUE(pathContainsFolder(path, L"c:\\program files (x86)\\orvanta\\kelvara\\2.1"));
    EXPECT_TRUE(pathContainsFolder(path, L"ORVANTA\\KELVARA\\2"));
    EXPECT_TRUE(pathContainsFolder(path, L""));
    EXPECT_FALSE(pathContainsFolder(path, L"C:\\Program Files\\Orvanta"));
}

} // namespace
