#include <ov/Exception.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

// The base description is built piece by piece exactly in this form; what() is its ANSI text.
TEST(BaseExceptionTest, DescriptionHasTheFixedForm) {
    const ov::BaseException e(L"Too long string", L"ov::str::toMultibyte", L"C:\\src\\ovtl\\Str.cpp", 187);
    const std::wstring expected = L"Type: ov::BaseException, Reason: Too long string, Function: "
                                  L"ov::str::toMultibyte, File: C:\\src\\ovtl\\Str.cpp, Line: 187";
    EXPECT_EQ(expected, e.description());
    EXPECT_STREQ("Type: ov::BaseException, Reason: Too long string, Function: ov::str::toMultibyte, "
                 "File: C:\\src\\ovtl\\Str.cpp, Line: 187",
                 e.what());
}

// Null texts are empty fields, so the separators follow each other directly.
TEST(BaseExceptionTest, NullTextsGiveEmptyFields) {
    const ov::BaseException e(nullptr, nullptr, nullptr, 4000000000u);
    EXPECT_EQ(std::wstring(L"Type: ov::BaseException, Reason: , Function: , File: , Line: 4000000000"),
              e.description());
    EXPECT_TRUE(e.reason().empty());
}

// The error-code form names the category and ends with the code after ", Error Code : ".
TEST(Win32ExceptionTest, DescriptionAddsTheCode) {
    const ov::Win32Exception e(1060ul, L"Can't open service", L"ov::Service::open", L"S.cpp", 12);
    EXPECT_EQ(std::wstring(L"Type: Win32Exception, Reason: Can't open service, Function: ov::Service::open, "
                           L"File: S.cpp, Line: 12, Error Code : 1060"),
              e.description());
    EXPECT_EQ(1060ul, e.errorCode());
}

// An empty reason becomes the system's message, line break included.
TEST(Win32ExceptionTest, EmptyReasonTakesTheSystemMessage) {
    const ov::Win32Exception e(static_cast<unsigned long>(ERROR_ACCESS_DENIED), L"", L"f", L"x.cpp", 1);
    ASSERT_FALSE(e.reason().empty());
    EXPECT_TRUE(endsWith(e.reason(), L"\r\n"));
    const std::wstring description = e.description();
    EXPECT_EQ(0u, description.find(L"Type: Win32Exception, Reason: " + e.reason() + L", Function: f, "));
    EXPECT_TRUE(endsWith(description, L", Error Code : 5"));

    const ov::Win32Exception null(static_cast<unsigned long>(ERROR_ACCESS_DENIED), nullptr, L"f", L"x.cpp",
                                  1);
    EXPECT_EQ(e.reason(), null.reason());
}

// A given reason is kept as it is.
TEST(Win32ExceptionTest, GivenReasonIsKept) {
    const ov::Win32Exception e(static_cast<unsigned long>(ERROR_ACCESS_DENIED),
                               L"Can't connect to service manager", L"f", L"x.cpp", 1);
    EXPECT_EQ(std::wstring(L"Can't connect to service manager"), e.reason());
}

// A code without a system message leaves the reason empty.
TEST(Win32ExceptionTest, UnknownCodeGivesEmptyReason) {
    const ov::Win32Exception e(0x2000BEEFul, nullptr, L"f", L"x.cpp", 3);
    EXPECT_TRUE(e.reason().empty());
    EXPECT_NE(std::wstring::npos, std::wstring(e.description()).find(L", Reason: , Function: f"));
}

// The cached texts stay put; a copy shares the texts but builds its own caches.
TEST(BaseExceptionTest, CachesAreStableAndPerCopy) {
    const ov::Win32Exception original(87ul, L"bad", L"f", L"x.cpp", 9);
    const char* first = original.what();
    EXPECT_EQ(first, original.what());
    EXPECT_EQ(original.description(), original.description());

    const ov::Win32Exception copy(original);
    EXPECT_EQ(&original.reason(), &copy.reason()); // no text was copied
    EXPECT_NE(first, copy.what());
    EXPECT_STREQ(first, copy.what());
    EXPECT_EQ(87ul, copy.errorCode());
}

// Throw sites record this file and the line of the throw; catch sites see std::exception.
TEST(Win32ExceptionTest, ThrowMacroRecordsTheSite) {
    unsigned expectedLine = 0;
    try {
        expectedLine = __LINE__ + 1;
        OV_THROW_WIN32(static_cast<unsigned long>(ERROR_SERVICE_DOES_NOT_EXIST), L"",
                       L"ov::Service::getState");
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(expectedLine, e.line());
        EXPECT_EQ(std::wstring(OV_WIDE_FILE), e.file());
        EXPECT_TRUE(endsWith(e.file(), L"ExceptionTest.cpp"));
        EXPECT_EQ(std::wstring(L"ov::Service::getState"), e.function());
        EXPECT_FALSE(e.reason().empty());
    }
    try {
        OV_THROW_BASE(L"broken", L"ov::f");
    } catch (const std::exception& e) {
        EXPECT_EQ(0,
                  std::string(e.what()).find("Type: ov::BaseException, Reason: broken, Function: ov::f, "));
    }
}
