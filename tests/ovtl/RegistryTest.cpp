// The registry class's operations that the installer's runs never reach, on a sandboxed registry,
// and the string-list codec with its odd terminators.
#include <ov/Handle.h>
#include <ov/MultiString.h>
#include <ov/Win32Registry.h>

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace std::string_literals;
using ov::RegistryStatus;

// Each operation's result, its status out-parameter and lastStatus agree, and what it wrote reads back.
TEST(Win32Registry, OperationsBeyondTheInstallersOwn) {
    ovtest::RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    ASSERT_TRUE(sandbox.setString(L"A\\B\\C", L"text", L"x"));
    ASSERT_TRUE(sandbox.setValue(L"A", L"odd", REG_MULTI_SZ, ovtest::utf16Bytes(L"a\0\0b\0\0"s)));
    ASSERT_TRUE(sandbox.setValue(L"A", L"empty", REG_MULTI_SZ, {}));
    ov::Win32Registry r(HKEY_LOCAL_MACHINE);
    using S = RegistryStatus;
    std::uint64_t q = 0;
    DWORD d = 0;
    std::vector<std::wstring> items;
    std::vector<std::string> narrow;
    std::vector<BYTE> bytes{9};
    ov::ScopedRegKey a; // the new root: A itself
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"A", 0, KEY_ALL_ACCESS, a.put()), ERROR_SUCCESS);
    const std::vector<std::wstring> justA{L"a"};
    struct Row {
        const char* what;
        std::function<bool(S*)> operation;
        S expected = S::Ok;
    };
// One registry operation of a row, given the status out-parameter s.
#define OP(call) [&](S* s) { return call; }
    const Row rows[] = {
        {"QWORD", OP(r.writeQword(L"A", L"q", 0x1122334455667788, s) && r.readQword("A", "q", q, s))},
        {"QWORD as DWORD", OP(r.readDword(L"A", L"q", d, s)), S::WrongType},
        {"list to its empty item", OP(r.readMultiString(L"A", L"odd", items, s) && items == justA)},
        {"empty list", OP(r.readMultiString(L"A", L"empty", items, s) && items == justA)},
        {"text as list", OP(r.readMultiString(L"A\\B\\C", L"text", items, s)), S::WrongType},
        {"list",
         OP(r.writeMultiString("A", "l", {"\xC3\xA9", "b"}, s) && r.readMultiString("A", "l", narrow, s))},
        {"empty item", OP(r.writeMultiString(L"A", L"l", {L"a", L""}, s)), S::InvalidArgument},
        {"binary", OP(r.writeBinary(L"A", L"b", {1, 0}, s) && r.readBinary("A", "b", bytes, s))},
        {"QWORD as binary", OP(r.readBinary(L"A", L"q", bytes, s)), S::WrongType},
        {"key with sub-keys", OP(r.deleteKey(L"A\\B", s)), S::AccessDenied},
        {"key path without separator", OP(r.deleteKey("A", s)), S::InvalidArgument},
        {"root changed", OP((r.setRoot(a.get()), r.keyExists(L"B\\C", s) && r.deleteKey(L"B", L"C", s)))},
        {"key gone", OP(r.keyExists(L"B", L"C", s)), S::NotFound},
        {"tree deleted", OP(r.createKeyPath(L"B\\C\\D", s) && r.deleteTree(L"", L"B", s))},
        {"tree gone", OP(r.keyExists("B", s)), S::NotFound},
    };
#undef OP
    for (const Row& row : rows) {
        S status = S::Failed;
        EXPECT_EQ(row.operation(&status), row.expected == S::Ok) << row.what;
        EXPECT_EQ(status, row.expected) << row.what;
        EXPECT_EQ(r.lastStatus(), row.expected) << row.what;
    }
    EXPECT_EQ(q, 0x1122334455667788u);
    EXPECT_EQ(narrow, (std::vector<std::string>{"\xC3\xA9", "b"}));
    EXPECT_EQ(bytes, (std::vector<BYTE>{1, 0}));
    DWORD type = REG_NONE;
    std::vector<BYTE> stored;
    ASSERT_TRUE(sandbox.getValue(L"A", L"l", type, stored)); // the refused list wrote nothing
    EXPECT_EQ(stored, ovtest::utf16Bytes(L"\u00E9\0b\0\0"s));
    ASSERT_TRUE(sandbox.getValue(L"A", L"q", type, stored));
    EXPECT_EQ(stored, (std::vector<BYTE>{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
}

// The string-list codec: what a list of items becomes, and what odd data reads as.
TEST(MultiString, OddTerminators) {
    using Items = std::vector<std::u16string>;
    EXPECT_EQ(ov::buildMultiString(Items{}), u"\0\0"s);
    EXPECT_EQ(ov::buildMultiString(Items{u"a", u"bc"}), u"a\0bc\0\0"s);
    EXPECT_EQ(ov::buildMultiString(Items{u"a", u""}), std::nullopt);
    const struct {
        std::u16string data;
        Items items;
    } reads[] = {
        {u"a\0bc\0\0"s, {u"a", u"bc"}},
        {u"a\0bc\0"s, {u"a", u"bc"}},
        {u"a\0bc"s, {u"a"}},
        {u"a\0\0bc\0\0"s, {u"a"}},
        {u"\0a\0\0"s, {}},
        {u""s, {}},
        {u"\0"s, {}},
        {u"abc"s, {}},
    };
    for (const auto& read : reads) {
        EXPECT_EQ(ov::parseMultiString(read.data.data(), read.data.size()), read.items)
            << std::string(read.data.begin(), read.data.end());
    }
}
