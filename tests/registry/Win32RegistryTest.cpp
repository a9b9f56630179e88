// The registry class against Wine's registry, with HKEY_LOCAL_MACHINE redirected into a sandbox.
#include <ov/Win32Registry.h>

#include "RegistrySandbox.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using ov::RegistryStatus;
using ov::Win32Registry;
using ovtest::utf16Bytes;

namespace {

const std::wstring testKey = L"SOFTWARE\\OvTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.ok());
        ASSERT_TRUE(sandbox.createKey(testKey));
    }

    ovtest::RegistrySandbox sandbox;
    Win32Registry registry{HKEY_LOCAL_MACHINE};
};

// Every system error the registry can report lands on one of the few codes callers handle.
TEST(RegistryStatusTest, MapsSystemErrors) {
    const struct {
        LONG error;
        RegistryStatus status;
    } cases[] = {
        {ERROR_SUCCESS, RegistryStatus::Ok},
        {ERROR_FILE_NOT_FOUND, RegistryStatus::NotFound},
        {ERROR_PATH_NOT_FOUND, RegistryStatus::NotFound},
        {ERROR_ACCESS_DENIED, RegistryStatus::AccessDenied},
        {ERROR_INVALID_PARAMETER, RegistryStatus::InvalidArgument},
        {ERROR_INVALID_FUNCTION, RegistryStatus::Failed},
        {ERROR_MORE_DATA, RegistryStatus::Failed},
        {ERROR_KEY_DELETED, RegistryStatus::Failed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ov::registryStatusFromError(c.error), c.status) << "error " << c.error;
    }
}

// Values written through one form read back through the other with the exact stored bytes.
TEST_F(RegistryTest, WritesAndReadsEveryTypeInWideAndNarrowForms) {
    const std::string narrowKey = "SOFTWARE\\OvTest";
    const std::string umlauts = "Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x82\xAC"; // "Grüße €" in UTF-8
    const std::wstring wideUmlauts = L"Gr\u00FC\u00DFe \u20AC";

    ASSERT_TRUE(registry.writeString(narrowKey, "Narrow", umlauts));
    ASSERT_TRUE(registry.writeString(testKey, L"Wide", wideUmlauts));
    ASSERT_TRUE(registry.writeString(testKey, L"Mixed", umlauts));
    ASSERT_TRUE(registry.writeString(narrowKey, "Empty", std::wstring()));
    ASSERT_TRUE(registry.writeDword(narrowKey, "Dword", 0xDEADBEEF));
    ASSERT_TRUE(registry.writeQword(testKey, L"Qword", 0x0123456789ABCDEFull));
    ASSERT_TRUE(registry.writeBinary(narrowKey, "Binary", {1, 0, 255}));
    ASSERT_TRUE(registry.writeBinary(testKey, L"NoBytes", {}));
    ASSERT_TRUE(registry.writeMultiString(narrowKey, "List", {umlauts, "x"}));

    // Strings are stored in UTF-16 with their NUL.
    const struct {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> bytes;
    } stored[] = {
        {L"Narrow", REG_SZ, utf16Bytes(wideUmlauts + L'\0')},
        {L"Wide", REG_SZ, utf16Bytes(wideUmlauts + L'\0')},
        {L"Mixed", REG_SZ, utf16Bytes(wideUmlauts + L'\0')},
        {L"Empty", REG_SZ, {0, 0}},
        {L"Dword", REG_DWORD, {0xEF, 0xBE, 0xAD, 0xDE}},
        {L"Qword", REG_QWORD, {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
        {L"Binary", REG_BINARY, {1, 0, 255}},
        {L"NoBytes", REG_BINARY, {}},
        {L"List", REG_MULTI_SZ, utf16Bytes(wideUmlauts + L'\0' + L'x' + L'\0' + L'\0')},
    };
    for (const auto& s : stored) {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
        ASSERT_TRUE(sandbox.getValue(testKey, s.name, type, bytes)) << ovtest::toUtf8(s.name);
        EXPECT_EQ(type, s.type) << ovtest::toUtf8(s.name);
        EXPECT_EQ(bytes, s.bytes) << ovtest::toUtf8(s.name);
    }

    std::string narrow;
    std::wstring wide;
    EXPECT_TRUE(registry.readString(testKey, L"Wide", narrow));
    EXPECT_EQ(narrow, umlauts);
    EXPECT_TRUE(registry.readString(narrowKey, "Narrow", wide));
    EXPECT_EQ(wide, wideUmlauts);
    EXPECT_TRUE(registry.readString(narrowKey, "Mixed", narrow));
    EXPECT_EQ(narrow, umlauts);
    wide = L"previous";
    EXPECT_TRUE(registry.readString(testKey, L"Empty", wide));
    EXPECT_EQ(wide, L"");

    DWORD dword = 0;
    std::uint64_t qword = 0;
    EXPECT_TRUE(registry.readDword(testKey, L"Dword", dword));
    EXPECT_EQ(dword, 0xDEADBEEFu);
    EXPECT_TRUE(registry.readQword(narrowKey, "Qword", qword));
    EXPECT_EQ(qword, 0x0123456789ABCDEFull);

    std::vector<BYTE> binary{9, 9};
    EXPECT_TRUE(registry.readBinary(testKey, L"Binary", binary));
    EXPECT_EQ(binary, (std::vector<BYTE>{1, 0, 255}));
    EXPECT_TRUE(registry.readBinary(narrowKey, "NoBytes", binary));
    EXPECT_TRUE(binary.empty());

    std::vector<std::string> list;
    EXPECT_TRUE(registry.readMultiString(narrowKey, "List", list));
    EXPECT_EQ(list, (std::vector<std::string>{umlauts, "x"}));

    std::vector<BYTE> raw;
    DWORD type = REG_NONE;
    EXPECT_TRUE(registry.readValue(narrowKey, "Dword", raw, type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw, (std::vector<BYTE>{0xEF, 0xBE, 0xAD, 0xDE}));

    EXPECT_EQ(registry.valueType(narrowKey, "List"), static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(registry.valueType(testKey, L"Qword"), static_cast<DWORD>(REG_QWORD));

    std::vector<std::wstring> names;
    EXPECT_EQ(registry.enumerateValues(testKey, names), 9u);
}

// A missing value and a missing key give NotFound from every reader, and writes do not create keys.
TEST_F(RegistryTest, MissingValueOrKeyIsNotFound) {
    for (const std::wstring& key : {testKey, testKey + L"\\Missing"}) {
        SCOPED_TRACE(ovtest::toUtf8(key));
        const std::wstring name = L"Absent";
        std::wstring text = L"previous";
        DWORD dword = 7;
        std::uint64_t qword = 7;
        std::vector<std::wstring> list{L"keep"};
        std::vector<BYTE> bytes{7};
        DWORD type = 7;

        const struct {
            const char* operation;
            bool result;
        } reads[] = {
            {"readString", registry.readString(key, name, text)},
            {"readDword", registry.readDword(key, name, dword)},
            {"readQword", registry.readQword(key, name, qword)},
            {"readMultiString", registry.readMultiString(key, name, list)},
            {"readBinary", registry.readBinary(key, name, bytes)},
            {"readValue", registry.readValue(key, name, bytes, type)},
            {"deleteValue", registry.deleteValue(key, name)},
        };
        for (const auto& r : reads) {
            EXPECT_FALSE(r.result) << r.operation;
        }
        RegistryStatus status = RegistryStatus::Ok;
        EXPECT_FALSE(registry.readDword(key, name, dword, &status));
        EXPECT_EQ(status, RegistryStatus::NotFound);
        EXPECT_EQ(registry.lastStatus(), RegistryStatus::NotFound);
        EXPECT_EQ(registry.valueType(key, name, &status), static_cast<DWORD>(REG_NONE));
        EXPECT_EQ(status, RegistryStatus::NotFound);

        // Failed reads empty a string but leave every other output as it was.
        EXPECT_EQ(text, L"");
        EXPECT_EQ(dword, 7u);
        EXPECT_EQ(qword, 7u);
        EXPECT_EQ(list, std::vector<std::wstring>{L"keep"});
        EXPECT_EQ(bytes, std::vector<BYTE>{7});
        EXPECT_EQ(type, 7u);
    }

    RegistryStatus status = RegistryStatus::Ok;
    EXPECT_FALSE(registry.writeDword(testKey + L"\\Missing", L"Value", 1, &status));
    EXPECT_EQ(status, RegistryStatus::NotFound);
    EXPECT_FALSE(registry.writeString(testKey + L"\\Missing", L"Value", L"x", &status));
    EXPECT_EQ(status, RegistryStatus::NotFound);
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Missing"));

    // The next success clears the recorded failure.
    EXPECT_TRUE(registry.writeDword(testKey, L"Value", 1));
    EXPECT_EQ(registry.lastStatus(), RegistryStatus::Ok);
}

// Each reader accepts only its own types; the others are refused as WrongType.
TEST_F(RegistryTest, RefusesValuesOfOtherTypes) {
    ASSERT_TRUE(sandbox.setString(testKey, L"Sz", L"12"));
    ASSERT_TRUE(sandbox.setValue(testKey, L"Dword", REG_DWORD, {1, 0, 0, 0}));
    ASSERT_TRUE(sandbox.setValue(testKey, L"BigEndian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}));
    ASSERT_TRUE(sandbox.setValue(testKey, L"Qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(sandbox.setValue(testKey, L"Binary", REG_BINARY, {1, 2}));
    ASSERT_TRUE(sandbox.setValue(testKey, L"Multi", REG_MULTI_SZ, utf16Bytes(std::wstring(L"a\0\0", 3))));

    std::wstring text;
    DWORD dword = 0;
    std::uint64_t qword = 0;
    std::vector<std::wstring> list;
    std::vector<BYTE> bytes;
    const struct {
        const char* what;
        std::function<bool(const std::wstring&, RegistryStatus*)> read;
        std::vector<std::wstring> refused;
    } readers[] = {
        {"readString",
         [&](auto& n, auto s) { return registry.readString(testKey, n, text, s); },
         {L"Dword", L"Qword", L"Binary", L"Multi"}},
        {"readDword",
         [&](auto& n, auto s) { return registry.readDword(testKey, n, dword, s); },
         {L"Sz", L"BigEndian", L"Qword", L"Binary", L"Multi"}},
        {"readQword",
         [&](auto& n, auto s) { return registry.readQword(testKey, n, qword, s); },
         {L"Sz", L"Dword", L"Binary", L"Multi"}},
        {"readMultiString",
         [&](auto& n, auto s) { return registry.readMultiString(testKey, n, list, s); },
         {L"Sz", L"Dword", L"Qword", L"Binary"}},
        {"readBinary",
         [&](auto& n, auto s) { return registry.readBinary(testKey, n, bytes, s); },
         {L"Sz", L"Dword", L"Qword", L"Multi"}},
    };
    for (const auto& reader : readers) {
        for (const auto& name : reader.refused) {
            RegistryStatus status = RegistryStatus::Ok;
            EXPECT_FALSE(reader.read(name, &status)) << reader.what << " " << ovtest::toUtf8(name);
            EXPECT_EQ(status, RegistryStatus::WrongType) << reader.what << " " << ovtest::toUtf8(name);
        }
    }

    // A refused string read leaves an empty text, a refused list read the list as it was.
    text = L"previous";
    EXPECT_FALSE(registry.readString(testKey, L"Dword", text));
    EXPECT_EQ(text, L"");
    list = {L"keep"};
    EXPECT_FALSE(registry.readMultiString(testKey, L"Sz", list));
    EXPECT_EQ(list, std::vector<std::wstring>{L"keep"});
}

// Strings come back exactly as stored, without one terminating NUL and never expanded.
TEST_F(RegistryTest, ReadsStringsAsStored) {
    const std::wstring longText(5000, L'x'); // larger than any first guess of the buffer
    const struct {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> stored;
        std::wstring expected;
    } cases[] = {
        {L"Expand", REG_EXPAND_SZ, utf16Bytes(std::wstring(L"%SystemRoot%\\x\0", 15)), L"%SystemRoot%\\x"},
        {L"NoNul", REG_SZ, utf16Bytes(L"abc"), L"abc"},
        {L"TwoNuls", REG_SZ, utf16Bytes(std::wstring(L"ab\0\0", 4)), std::wstring(L"ab\0", 3)},
        {L"OnlyNul", REG_SZ, {0, 0}, L""},
        {L"NoBytes", REG_SZ, {}, L""},
        {L"OddBytes", REG_SZ, {'a', 0, 'b'}, L"a"},
        {L"Long", REG_SZ, utf16Bytes(longText + L'\0'), longText},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sandbox.setValue(testKey, c.name, c.type, c.stored));
        std::wstring text = L"previous";
        EXPECT_TRUE(registry.readString(testKey, c.name, text)) << ovtest::toUtf8(c.name);
        EXPECT_EQ(text, c.expected) << ovtest::toUtf8(c.name);
    }
}

// String lists: what is stored for a list, what a stored value reads as, and lists refused.
TEST_F(RegistryTest, MultiStringsFollowTheListFormat) {
    const struct {
        std::vector<std::wstring> list;
        std::wstring stored;
    } writes[] = {
        {{L"a", L"b"}, std::wstring(L"a\0b\0\0", 5)},
        {{L"one"}, std::wstring(L"one\0\0", 5)},
        {{}, std::wstring(L"\0\0", 2)},
    };
    for (const auto& w : writes) {
        ASSERT_TRUE(registry.writeMultiString(testKey, L"List", w.list));
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
        ASSERT_TRUE(sandbox.getValue(testKey, L"List", type, bytes));
        EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
        EXPECT_EQ(bytes, utf16Bytes(w.stored)) << w.list.size() << " items";
    }

    const std::vector<std::wstring> previous{L"previous"};
    const struct {
        std::vector<BYTE> stored;
        std::vector<std::wstring> expected;
    } reads[] = {
        {utf16Bytes(std::wstring(L"a\0b\0\0", 5)), {L"a", L"b"}},
        {utf16Bytes(std::wstring(L"a\0\0b\0\0", 6)), {L"a"}},
        {utf16Bytes(std::wstring(L"a\0b", 3)), {L"a"}},
        {utf16Bytes(std::wstring(L"a\0b\0", 4)), {L"a", L"b"}},
        {utf16Bytes(std::wstring(L"\0\0", 2)), {}},
        {{'a', 0, 0, 0, 'b'}, {L"a"}},
        {{}, previous}, // an empty value leaves the list as it was
    };
    for (const auto& r : reads) {
        ASSERT_TRUE(sandbox.setValue(testKey, L"Stored", REG_MULTI_SZ, r.stored));
        std::vector<std::wstring> list = previous;
        EXPECT_TRUE(registry.readMultiString(testKey, L"Stored", list)) << r.stored.size() << " bytes";
        EXPECT_EQ(list, r.expected) << r.stored.size() << " bytes";
        std::vector<std::string> narrow{"previous"};
        EXPECT_TRUE(registry.readMultiString("SOFTWARE\\OvTest", "Stored", narrow));
        EXPECT_EQ(narrow.size(), r.expected.size());
    }

    // An empty item would end the list early: nothing is written, not even into a missing value.
    for (const std::wstring name : {L"List", L"New"}) {
        RegistryStatus status = RegistryStatus::Ok;
        EXPECT_FALSE(registry.writeMultiString(testKey, name, {L"a", L"", L"b"}, &status));
        EXPECT_EQ(status, RegistryStatus::InvalidArgument);
        EXPECT_FALSE(registry.writeMultiString("SOFTWARE\\OvTest", ovtest::toUtf8(name), {""}, &status));
        EXPECT_EQ(status, RegistryStatus::InvalidArgument);
    }
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(sandbox.getValue(testKey, L"List", type, bytes));
    EXPECT_EQ(bytes, utf16Bytes(std::wstring(L"\0\0", 2)));
    EXPECT_FALSE(sandbox.valueExists(testKey, L"New"));
}

// Key paths are created from the top down, one level at a time; the first level must exist.
TEST_F(RegistryTest, CreatesKeyPaths) {
    const struct {
        std::wstring path;
        bool result;
        RegistryStatus status;
        std::vector<std::wstring> existing;
        std::vector<std::wstring> missing;
    } cases[] = {
        {testKey + L"\\A\\B\\C", true, RegistryStatus::Ok, {testKey + L"\\A\\B", testKey + L"\\A\\B\\C"}, {}},
        {testKey + L"\\A\\B\\C", true, RegistryStatus::Ok, {testKey + L"\\A\\B\\C"}, {}}, // again: all exist
        {testKey + L"\\D\\", false, RegistryStatus::InvalidArgument, {testKey + L"\\D"}, {}},
        {L"TopLevel", true, RegistryStatus::Ok, {}, {L"TopLevel"}},
        {L"", true, RegistryStatus::Ok, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ovtest::toUtf8(c.path));
        RegistryStatus status = RegistryStatus::Failed;
        EXPECT_EQ(registry.createKeyPath(c.path, &status), c.result);
        EXPECT_EQ(status, c.status);
        for (const auto& key : c.existing) {
            EXPECT_TRUE(sandbox.keyExists(key)) << ovtest::toUtf8(key);
            EXPECT_TRUE(registry.keyExists(key));
        }
        for (const auto& key : c.missing) {
            EXPECT_FALSE(sandbox.keyExists(key)) << ovtest::toUtf8(key);
        }
    }

    EXPECT_TRUE(registry.createKeyPath("SOFTWARE\\OvTest\\Narrow\\Path"));
    EXPECT_TRUE(registry.keyExists("SOFTWARE\\OvTest\\Narrow", "Path"));
    EXPECT_TRUE(registry.createKey(testKey, L"Volatile", REG_OPTION_VOLATILE));
    EXPECT_TRUE(registry.createKey(testKey, L"Volatile")); // an existing key is fine
    EXPECT_TRUE(sandbox.keyExists(testKey + L"\\Volatile"));

    RegistryStatus status = RegistryStatus::Ok;
    EXPECT_FALSE(registry.createKey(testKey, L"", &status));
    EXPECT_EQ(status, RegistryStatus::InvalidArgument);
    EXPECT_FALSE(registry.keyExists(testKey, L"Absent", &status));
    EXPECT_EQ(status, RegistryStatus::NotFound);
}

// deleteKey removes only a key without sub-keys; deleteTree removes a key with everything below.
TEST_F(RegistryTest, DeletesKeysAndTrees) {
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\Tree\\Child\\Grandchild"));
    ASSERT_TRUE(sandbox.setString(testKey + L"\\Tree\\Child", L"Value", L"x"));
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\Leaf"));
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\Leaf2"));

    EXPECT_FALSE(registry.deleteKey(testKey, L"Tree"));
    EXPECT_EQ(registry.lastStatus(), RegistryStatus::AccessDenied); // what the system answers
    EXPECT_TRUE(sandbox.keyExists(testKey + L"\\Tree\\Child\\Grandchild"));

    EXPECT_TRUE(registry.deleteTree(testKey, L"Tree"));
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Tree"));
    EXPECT_TRUE(registry.deleteKey(testKey, L"Leaf"));
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Leaf"));
    EXPECT_TRUE(registry.deleteKey("SOFTWARE\\OvTest\\Leaf2"));
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Leaf2"));

    const struct {
        const char* what;
        std::function<bool(RegistryStatus*)> remove;
        RegistryStatus expected;
    } failures[] = {
        {"deleteKey of a missing key", [&](auto s) { return registry.deleteKey(testKey, L"Leaf", s); },
         RegistryStatus::NotFound},
        {"deleteTree of a missing key", [&](auto s) { return registry.deleteTree(testKey, L"Tree", s); },
         RegistryStatus::NotFound},
        {"deleteKey without a name", [&](auto s) { return registry.deleteKey(testKey, L"", s); },
         RegistryStatus::InvalidArgument},
        {"deleteTree without a name", [&](auto s) { return registry.deleteTree(testKey, L"", s); },
         RegistryStatus::InvalidArgument},
        {"deleteKey of a path without a backslash",
         [&](auto s) { return registry.deleteKey(L"SOFTWARE", s); }, RegistryStatus::InvalidArgument},
        {"deleteKey of an empty path", [&](auto s) { return registry.deleteKey(std::wstring(), s); },
         RegistryStatus::InvalidArgument},
        {"deleteKey of a path ending in a backslash",
         [&](auto s) { return registry.deleteKey(testKey + L"\\", s); }, RegistryStatus::InvalidArgument},
    };
    for (const auto& f : failures) {
        RegistryStatus status = RegistryStatus::Ok;
        EXPECT_FALSE(f.remove(&status)) << f.what;
        EXPECT_EQ(status, f.expected) << f.what;
    }
    EXPECT_TRUE(sandbox.keyExists(testKey));
}

// Enumerations list every name, succeed with nothing for an empty key and clear the list on failure.
TEST_F(RegistryTest, EnumeratesSubKeysAndValues) {
    std::vector<std::wstring> names{L"stale"};
    EXPECT_EQ(registry.enumerateSubKeys(testKey, names), 0u);
    EXPECT_EQ(registry.lastStatus(), RegistryStatus::Ok);
    EXPECT_TRUE(names.empty());
    names = {L"stale"};
    EXPECT_EQ(registry.enumerateValues(testKey, names), 0u);
    EXPECT_EQ(registry.lastStatus(), RegistryStatus::Ok);
    EXPECT_TRUE(names.empty());

    const std::wstring longValueName(300, L'v'); // longer than any key name may be
    for (const std::wstring name : {L"One", L"Two", L"\u00C4rger"}) {
        ASSERT_TRUE(sandbox.createKey(testKey + L"\\" + name));
        ASSERT_TRUE(sandbox.setString(testKey, name, L"x"));
    }
    ASSERT_TRUE(sandbox.setString(testKey, longValueName, L"x"));
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\One\\Deeper")); // not listed: only direct sub-keys

    EXPECT_EQ(registry.enumerateSubKeys(testKey, names), 3u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"One", L"Two", L"\u00C4rger"}));
    std::vector<std::string> narrow;
    EXPECT_EQ(registry.enumerateValues("SOFTWARE\\OvTest", narrow), 4u);
    std::sort(narrow.begin(), narrow.end());
    EXPECT_EQ(narrow,
              (std::vector<std::string>{"One", "Two", ovtest::toUtf8(longValueName), "\xC3\x84rger"}));

    names = {L"stale"};
    RegistryStatus status = RegistryStatus::Ok;
    EXPECT_EQ(registry.enumerateSubKeys(testKey + L"\\Missing", names, &status), 0u);
    EXPECT_EQ(status, RegistryStatus::NotFound);
    EXPECT_TRUE(names.empty());
    narrow = {"stale"};
    EXPECT_EQ(registry.enumerateValues("SOFTWARE\\OvTest\\Missing", narrow, &status), 0u);
    EXPECT_EQ(status, RegistryStatus::NotFound);
    EXPECT_TRUE(narrow.empty());
}

// A key's security is honoured, and each operation asks for no more access than it needs.
TEST_F(RegistryTest, ReportsAccessDeniedByTheKeySecurity) {
    const std::wstring readable = testKey + L"\\QueryOnly";
    const std::wstring writable = testKey + L"\\SetOnly";
    const std::wstring closed = testKey + L"\\Closed";
    ASSERT_TRUE(sandbox.setValue(readable, L"Binary", REG_BINARY, {1, 2, 3}));
    ASSERT_TRUE(sandbox.setValue(writable, L"Dword", REG_DWORD, {1, 0, 0, 0}));
    ASSERT_TRUE(sandbox.setString(closed, L"Text", L"secret"));
    ASSERT_TRUE(sandbox.createKey(closed + L"\\Child"));
    ASSERT_TRUE(sandbox.restrictKey(readable, KEY_QUERY_VALUE));
    ASSERT_TRUE(sandbox.restrictKey(writable, KEY_SET_VALUE));
    ASSERT_TRUE(sandbox.restrictKey(closed, 0));

    std::vector<BYTE> bytes;
    DWORD type = REG_NONE;
    DWORD dword = 0;
    std::wstring text;
    std::vector<std::wstring> names;
    const struct {
        const char* what;
        bool result;
        bool expected;
    } cases[] = {
        {"readBinary with query access", registry.readBinary(readable, L"Binary", bytes), true},
        {"readValue with query access", registry.readValue(readable, L"Binary", bytes, type), false},
        {"writeDword with query access", registry.writeDword(readable, L"New", 1), false},
        {"writeDword with set access", registry.writeDword(writable, L"Dword", 2), true},
        {"deleteValue with set access", registry.deleteValue(writable, L"Dword"), true},
        {"readDword with set access", registry.readDword(writable, L"Dword", dword), false},
        {"readString without access", registry.readString(closed, L"Text", text), false},
        {"writeString without access", registry.writeString(closed, L"Text", L"x"), false},
        {"enumerateSubKeys without access", registry.enumerateSubKeys(closed, names) != 0, false},
        // Only READ_CONTROL is asked for, which the key's owner always has.
        {"keyExists without access", registry.keyExists(closed), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, c.expected) << c.what;
    }
    EXPECT_EQ(bytes, (std::vector<BYTE>{1, 2, 3}));

    RegistryStatus status = RegistryStatus::Ok;
    EXPECT_FALSE(registry.readString(closed, L"Text", text, &status));
    EXPECT_EQ(status, RegistryStatus::AccessDenied);
    EXPECT_FALSE(registry.writeDword(readable, L"New", 1, &status));
    EXPECT_EQ(status, RegistryStatus::AccessDenied);
    EXPECT_FALSE(registry.readValue(readable, L"Binary", bytes, type, &status));
    EXPECT_EQ(status, RegistryStatus::AccessDenied);
    EXPECT_EQ(registry.enumerateValues(closed, names, &status), 0u);
    EXPECT_EQ(status, RegistryStatus::AccessDenied);
}

// Keys of the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE, seen by a 64-bit process, under
// Wow6432Node. Run against the real registry: a redirected root has no views.
class RegistryViewTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::wstring parent : {L"SOFTWARE", L"SOFTWARE\\Wow6432Node"}) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              &key) == ERROR_SUCCESS) {
                RegDeleteTreeW(key, name.c_str());
                RegCloseKey(key);
            }
        }
    }

    bool existsIn64BitView(const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    const std::wstring name = L"OvTestView-" + std::to_wstring(GetCurrentProcessId());
};

// With KEY_WOW64_32KEY, writes land in the 32-bit view; with the flag cleared again, in the 64-bit one.
TEST_F(RegistryViewTest, ThirtyTwoBitViewLandsUnderWow6432Node) {
    Win32Registry registry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    ASSERT_TRUE(registry.createKeyPath(L"SOFTWARE\\" + name + L"\\Sub"));
    ASSERT_TRUE(registry.writeString(L"SOFTWARE\\" + name, L"Value", L"32"));
    EXPECT_TRUE(existsIn64BitView(L"SOFTWARE\\Wow6432Node\\" + name + L"\\Sub"));
    EXPECT_FALSE(existsIn64BitView(L"SOFTWARE\\" + name));

    std::wstring text;
    EXPECT_TRUE(registry.readString(L"SOFTWARE\\" + name, L"Value", text));
    EXPECT_EQ(text, L"32");

    registry.setViewFlags(0);
    EXPECT_FALSE(registry.keyExists(L"SOFTWARE\\" + name));
    ASSERT_TRUE(registry.createKeyPath(L"SOFTWARE\\" + name));
    EXPECT_TRUE(existsIn64BitView(L"SOFTWARE\\" + name));
    EXPECT_FALSE(registry.readString(L"SOFTWARE\\" + name, L"Value", text));

    registry.setViewFlags(KEY_WOW64_32KEY);
    EXPECT_TRUE(registry.deleteTree(L"SOFTWARE", name));
    EXPECT_FALSE(existsIn64BitView(L"SOFTWARE\\Wow6432Node\\" + name));
    EXPECT_TRUE(existsIn64BitView(L"SOFTWARE\\" + name));
}

} // namespace
