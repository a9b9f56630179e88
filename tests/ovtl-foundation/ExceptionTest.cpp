#include <ov/Exception.h>
#include <ov/Str.h>
#include <ov/Win32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

// The descriptions have their fixed forms, null texts giving empty fields; what() is the ANSI text.
TEST(ExceptionTest, DescriptionForms) {
    const ov::BaseException base(L"Too long string", L"ov::str::toMultibyte", L"C:\\src\\Str.cpp", 187);
    EXPECT_EQ(
        std::wstring(L"Type: ov::BaseException, Reason: Too long string, Function: ov::str::toMultibyte, "
                     L"File: C:\\src\\Str.cpp, Line: 187"),
        base.description());
    EXPECT_EQ(ov::str::wideToUtf8(base.description()), base.what());

    const ov::BaseException empty(nullptr, nullptr, nullptr, 4000000000u);
    EXPECT_EQ(std::wstring(L"Type: ov::BaseException, Reason: , Function: , File: , Line: 4000000000"),
              empty.description());

    const ov::Win32Exception win32(1060ul, L"Can't open service", L"ov::Service::open", L"S.cpp", 12);
    EXPECT_EQ(std::wstring(L"Type: Win32Exception, Reason: Can't open service, Function: ov::Service::open, "
                           L"File: S.cpp, Line: 12, Error Code : 1060"),
              win32.description());
}

// An empty or null reason becomes the system's message for the code, line break included; a
// given reason is kept; a code without a message leaves the reason empty.
TEST(ExceptionTest, ReasonFromTheSystem) {
    const ov::Win32Exception denied(5ul, L"", L"f", L"x.cpp", 1);
    EXPECT_TRUE(endsWith(denied.reason(), L"\r\n"));
    const std::wstring description = denied.description();
    EXPECT_EQ(0u, description.find(L"Type: Win32Exception, Reason: " + denied.reason() + L", Function: f, "));
    EXPECT_TRUE(endsWith(description, L", Error Code : 5"));
    EXPECT_EQ(denied.reason(), ov::Win32Exception(5ul, nullptr, L"f", L"x.cpp", 1).reason());

    const ov::Win32Exception given(5ul, L"Can't connect to service manager", L"f", L"x.cpp", 1);
    EXPECT_EQ(std::wstring(L"Can't connect to service manager"), given.reason());

    const ov::Win32Exception unknown(0x2000BEEFul, nullptr, L"f", L"x.cpp", 3);
    EXPECT_TRUE(unknown.reason().empty());
    EXPECT_NE(std::wstring::npos, std::wstring(unknown.description()).find(L", Reason: , Function: f"));
}

// what() stays the same text at the same place; a copy builds its own from the shared fields.
TEST(ExceptionTest, WhatIsStableAndPerCopy) {
    const ov::Win32Exception original(87ul, L"bad", L"f", L"x.cpp", 9);
    const char* first = original.what();
    EXPECT_EQ(first, original.what());

    const ov::Win32Exception copy(original);
    EXPECT_NE(first, copy.what());
    EXPECT_STREQ(first, copy.what());
    EXPECT_EQ(87ul, copy.errorCode());
}

// A throw site records its function, this file and the line of the throw.
TEST(ExceptionTest, ThrowMacroRecordsTheSite) {
    unsigned line = 0;
    try {
        line = __LINE__ + 1;
        OV_THROW_WIN32(1060ul, L"", L"ov::Service::getState");
    } catch (const ov::Win32Exception& e) {
        EXPECT_EQ(line, e.line());
        EXPECT_TRUE(endsWith(e.file(), L"ExceptionTest.cpp"));
        EXPECT_EQ(std::wstring(L"ov::Service::getState"), e.function());
    }
}
