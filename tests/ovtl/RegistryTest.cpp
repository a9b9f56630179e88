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
    ov::Win32Registry registry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(sandbox.setString(L"A\\B\\C", L"text", L"x"));
    ASSERT_TRUE(sandbox.setValue(L"A", L"list", REG_MULTI_SZ, ovtest::utf16Bytes(L"a\0\0b\0\0"s)));
    ASSERT_TRUE(sandbox.setValue(L"A", L"empty", REG_MULTI_SZ, {}));
    std::uint64_t qword = 0;
    std::vector<std::wstring> items{L"kept"};
    std::vector<std::string> narrowItems;
    std::vector<BYTE> bytes{9};
    DWORD dword = 0;
    ov::ScopedRegKey a;
    struct Row {
        const char* what;
        std::function<bool(RegistryStatus*)> operation;
        RegistryStatus expected = RegistryStatus::Ok;
    };
    const Row rows[] = {
        {"QWORD written", [&](auto s) { return registry.writeQword(L"A", L"q", 0x1122334455667788ull, s); }},
        {"QWORD read",
         [&](auto s) { return registry.readQword("A", "q", qword, s) && qword == 0x1122334455667788ull; }},
        {"QWORD read as DWORD", [&](auto s) { return registry.readDword(L"A", L"q", dword, s); },
         RegistryStatus::WrongType},
        {"text read as QWORD", [&](auto s) { return registry.readQword(L"A\\B\\C", L"text", qword, s); },
         RegistryStatus::WrongType},
        {"list read up to its empty item",
         [&](auto s) {
             return registry.readMultiString(L"A", L"list", items, s) &&
                    items == std::vector<std::wstring>{L"a"};
         }},
        {"empty list leaves the output",
         [&](auto s) {
             return registry.readMultiString(L"A", L"empty", items, s) &&
                    items == std::vector<std::wstring>{L"a"};
         }},
        {"text read as a list",
         [&](auto s) { return registry.readMultiString(L"A\\B\\C", L"text", items, s); },
         RegistryStatus::WrongType},
        {"list written",
         [&](auto s) {
             return registry.writeMultiString("A", "list", {"\xC3\xA9", "b"}, s);
         }},
        {"list read back",
         [&](auto s) {
             return registry.readMultiString("A", "list", narrowItems, s) &&
                    narrowItems == std::vector<std::string>{"\xC3\xA9", "b"};
         }},
        {"list with an empty item",
         [&](auto s) {
             return registry.writeMultiString(L"A", L"list", {L"a", L""}, s);
         },
         RegistryStatus::InvalidArgument},
        {"binary written",
         [&](auto s) {
             return registry.writeBinary(L"A", L"bin", {1, 0, 2}, s);
         }},
        {"binary read",
         [&](auto s) {
             return registry.readBinary("A", "bin", bytes, s) && bytes == std::vector<BYTE>{1, 0, 2};
         }},
        {"empty binary",
         [&](auto s) {
             return registry.writeBinary("A", "bin", {}, s) && registry.readBinary(L"A", L"bin", bytes, s) &&
                    bytes.empty();
         }},
        {"QWORD read as binary", [&](auto s) { return registry.readBinary(L"A", L"q", bytes, s); },
         RegistryStatus::WrongType},
        {"key with sub-keys", [&](auto s) { return registry.deleteKey(L"A\\B", s); },
         RegistryStatus::AccessDenied},
        {"key without a separator", [&](auto s) { return registry.deleteKey("A", s); },
         RegistryStatus::InvalidArgument},
        {"key of an empty name", [&](auto s) { return registry.deleteKey(L"A", L"", s); },
         RegistryStatus::InvalidArgument},
        {"root changed",
         [&](auto s) {
             RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"A", 0, KEY_READ, a.put());
             registry.setRoot(a.get());
             return registry.keyExists(L"B\\C", s);
         }},
        {"key deleted", [&](auto s) { return registry.deleteKey(L"B", L"C", s); }},
        {"key gone", [&](auto s) { return registry.keyExists(L"B", L"C", s); }, RegistryStatus::NotFound},
        {"tree deleted",
         [&](auto s) {
             registry.setRoot(HKEY_LOCAL_MACHINE);
             return registry.createKeyPath(L"A\\B\\C\\D", s) && registry.deleteTree(L"A", L"B", s);
         }},
        {"tree gone", [&](auto s) { return registry.keyExists("A\\B", s); }, RegistryStatus::NotFound},
    };
    for (const auto& row : rows) {
        RegistryStatus status = RegistryStatus::Failed;
        EXPECT_EQ(row.operation(&status), row.expected == RegistryStatus::Ok) << row.what;
        EXPECT_EQ(status, row.expected) << row.what;
        EXPECT_EQ(registry.lastStatus(), row.expected) << row.what;
    }
    DWORD type = REG_NONE;
    std::vector<BYTE> stored;
    ASSERT_TRUE(sandbox.getValue(L"A", L"list", type, stored)); // the refused list wrote nothing
    EXPECT_EQ(stored, ovtest::utf16Bytes(L"\u00E9\0b\0\0"s));
    ASSERT_TRUE(sandbox.getValue(L"A", L"q", type, stored));
    EXPECT_EQ(stored, (std::vector<BYTE>{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
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
