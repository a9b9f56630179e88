#include <ov/Exception.h>
#include <ov/Str.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const unsigned kInvalidCodePage = 12345;

} // namespace

// An empty text needs no system call, so even an invalid code page gives an empty text.
TEST(ToMultibyteTest, EmptyTextIsEmpty) {
    EXPECT_EQ(std::string(), ov::str::toMultibyte(L"", kInvalidCodePage));
}

// A failing size query throws the error-code exception recorded at line 190 of Str.cpp.
TEST(ToMultibyteTest, InvalidCodePageThrows) {
    try {
        ov::str::toMultibyte(L"abc", kInvalidCodePage);
        FAIL() << "no exception";
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(190u, e.line());
        EXPECT_EQ(std::wstring(L"ov::str::toMultibyte"), e.function());
        const std::wstring file = e.file();
        EXPECT_EQ(L"Str.cpp", file.substr(file.size() - 7));
        EXPECT_NE(0ul, e.errorCode());
        EXPECT_FALSE(e.reason().empty());
    }
}

// The conversion keeps every byte and adds no NUL.
TEST(ToMultibyteTest, ConvertsWithoutTerminator) {
    EXPECT_EQ(std::string("gr\xC3\xBC\xC3\x9F"), ov::str::toMultibyte(L"gr\u00FC\u00DF", CP_UTF8));
    EXPECT_EQ(std::string("a\0b", 3), ov::str::toMultibyte(std::wstring(L"a\0b", 3), CP_UTF8));
}

// The non-throwing conversions return what the system makes of bad input.
TEST(ConversionTest, InvalidUtf8BecomesReplacementCharacters) {
    const std::wstring wide = ov::str::utf8ToWide("a\xFF");
    ASSERT_EQ(2u, wide.size());
    EXPECT_EQ(L'a', wide[0]);
    EXPECT_EQ(L'\xFFFD', wide[1]);
    EXPECT_EQ(std::wstring(), ov::str::multiByteToWide("abc", kInvalidCodePage));
    EXPECT_EQ(std::string(), ov::str::wideToMultiByte(L"abc", kInvalidCodePage));
    EXPECT_EQ(std::string("\xE2\x82\xAC"), ov::str::wideToUtf8(L"\u20AC"));
}

// References to set variables expand, also to long values; unknown ones stay.
TEST(ExpandEnvironmentStringsTest, ExpandsKnownAndKeepsUnknown) {
    const std::wstring longValue(5000, L'x');
    ASSERT_TRUE(SetEnvironmentVariableW(L"OV_TEST_SHORT", L"short"));
    ASSERT_TRUE(SetEnvironmentVariableW(L"OV_TEST_LONG", longValue.c_str()));

    std::wstring text = L"%OV_TEST_SHORT%\\%OV_TEST_UNSET_VARIABLE%\\%OV_TEST_LONG%";
    ov::str::expandEnvironmentStrings(text);
    EXPECT_EQ(L"short\\%OV_TEST_UNSET_VARIABLE%\\" + longValue, text);

    std::wstring empty;
    ov::str::expandEnvironmentStrings(empty);
    EXPECT_EQ(std::wstring(), empty);

    SetEnvironmentVariableW(L"OV_TEST_SHORT", nullptr);
    SetEnvironmentVariableW(L"OV_TEST_LONG", nullptr);
}
