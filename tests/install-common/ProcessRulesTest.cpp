// What running the product's utilities promises beyond what a run shows: process matching that
// folds only the ASCII letters.
#include <install-common/ExecuteApplication.h>

#include <gtest/gtest.h>

using namespace ExecuteApplication;

// Names and folders compare without regard to case for A to Z only, the folder as a substring.
TEST(ProcessRules, OnlyAsciiLettersFold) {
    EXPECT_TRUE(equalsIgnoringAsciiCase(L"KELVARA.exe", L"kelvara.EXE"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(L"\u00c4.exe", L"\u00e4.exe"));
    EXPECT_TRUE(pathContainsFolder(L"C:\\APPS\\Kelvara2\\x.exe", L"c:\\apps\\kelvara"));
    EXPECT_FALSE(pathContainsFolder(L"C:\\\u00c4pps\\x.exe", L"c:\\\u00e4pps"));
}
