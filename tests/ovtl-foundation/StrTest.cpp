#include <ov/Exception.h>
#include <ov/Str.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const unsigned kInvalidCodePage = 12345;

} // namespace

// The throwing conversion keeps every byte and adds no NUL; it needs no system call for an empty
// text, and a failing one throws the error-code exception recorded at line 190 of Str.cpp.
TEST(StrTest, ToMultibyte) {
    EXPECT_EQ(std::string("gr\xC3\xBC\xC3\x9F"), ov::str::toMultibyte(L"gr\u00FC\u00DF", CP_UTF8));
    EXPECT_EQ(std::string("a\0b", 3), ov::str::toMultibyte(std::wstring(L"a\0b", 3), CP_UTF8));
    EXPECT_EQ(std::string(), ov::str::toMultibyte(L"", kInvalidCodePage));
    try {
        ov::str::toMultibyte(L"abc", kInvalidCodePage);
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(190u, e.line());
        EXPECT_EQ(std::wstring(L"ov::str::toMultibyte"), e.function());
        EXPECT_EQ(L"Str.cpp", e.file().substr(e.file().size() - 7));
        EXPECT_NE(0ul, e.errorCode());
        EXPECT_FALSE(e.reason().empty());
    }
}

// The non-throwing conversions give what the system makes of bad input, and empty on failure.
TEST(StrTest, NonThrowingConversions) {
    EXPECT_EQ(std::wstring(L"a\xFFFD"), ov::str::utf8ToWide("a\xFF"));
    EXPECT_EQ(std::string("\xE2\x82\xAC"), ov::str::wideToUtf8(L"\u20AC"));
    EXPECT_EQ(std::wstring(), ov::str::multiByteToWide("abc", kInvalidCodePage));
    EXPECT_EQ(std::string(), ov::str::wideToMultiByte(L"abc", kInvalidCodePage));
}

// References to set variables expand, also to long values; unknown ones stay.
TEST(StrTest, ExpandsEnvironmentStrings) {
    const std::wstring longValue(5000, L'x');
    ASSERT_TRUE(SetEnvironmentVariableW(L"OV_TEST_SHORT", L"short"));
    ASSERT_TRUE(SetEnvironmentVariableW(L"OV_TEST_LONG", longValue.c_str()));
    std::wstring text = L"%OV_TEST_SHORT%\\%OV_TEST_UNSET_VARIABLE%\\%OV_TEST_LONG%";
    ov::str::expandEnvironmentStrings(text);
    EXPECT_EQ(L"short\\%OV_TEST_UNSET_VARIABLE%\\" + longValue, text);
    SetEnvironmentVariableW(L"OV_TEST_SHORT", nullptr);
    SetEnvironmentVariableW(L"OV_TEST_LONG", nullptr);
}
