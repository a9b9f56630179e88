// The registry class against Wine's registry, with HKEY_LOCAL_MACHINE redirected into a sandbox.
#include <ov/Win32Registry.h>

#include "RegistrySandbox.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using ov::RegistryStatus;
using ov::Win32Registry;
using ovtest::toUtf8;
using ovtest::utf16Bytes;

namespace {

const std::wstring testKey = L"SOFTWARE\\OvTest";

// Each test gets a fresh sandbox, so tests neither see each other's keys nor the lab's.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sandbox.ok());
        ASSERT_TRUE(sandbox.createKey(testKey));
    }

    // The status an operation recorded, after checking that its result agrees with it.
    RegistryStatus outcome(bool result) {
        EXPECT_EQ(result, registry.lastStatus() == RegistryStatus::Ok);
        return registry.lastStatus();
    }

    // The bytes of a value of the test key as stored, after checking its type.
    std::vector<BYTE> stored(const std::wstring& name, DWORD expectedType) {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
        EXPECT_TRUE(sandbox.getValue(testKey, name, type, bytes)) << toUtf8(name);
        EXPECT_EQ(type, expectedType) << toUtf8(name);
        return bytes;
    }

    ovtest::RegistrySandbox sandbox;
    Win32Registry registry{HKEY_LOCAL_MACHINE};
};

// Every system error lands on one of the few codes callers handle.
TEST(RegistryStatusTest, MapsSystemErrors) {
    EXPECT_EQ(ov::registryStatusFromError(ERROR_SUCCESS), RegistryStatus::Ok);
    EXPECT_EQ(ov::registryStatusFromError(ERROR_FILE_NOT_FOUND), RegistryStatus::NotFound);
    EXPECT_EQ(ov::registryStatusFromError(ERROR_PATH_NOT_FOUND), RegistryStatus::NotFound);
    EXPECT_EQ(ov::registryStatusFromError(ERROR_ACCESS_DENIED), RegistryStatus::AccessDenied);
    EXPECT_EQ(ov::registryStatusFromError(ERROR_INVALID_PARAMETER), RegistryStatus::InvalidArgument);
    EXPECT_EQ(ov::registryStatusFromError(ERROR_MORE_DATA), RegistryStatus::Failed);
}

// Each writer stores its type with exactly these bytes (strings as UTF-16 with their NUL, narrow
// texts taken as UTF-8) into an existing key only, and the readers give the values back.
TEST_F(RegistryTest, WritesAndReadsEachType) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC";
    const std::wstring wide = L"Gr\u00FC\u00DFe \u20AC";
    ASSERT_TRUE(registry.writeString("SOFTWARE\\OvTest", "Text", utf8));
    ASSERT_TRUE(registry.writeDword(testKey, L"Dword", 0xDEADBEEF));
    ASSERT_TRUE(registry.writeQword(testKey, L"Qword", 0x0123456789ABCDEFull));
    ASSERT_TRUE(registry.writeBinary(testKey, L"NoBytes", {}));
    ASSERT_TRUE(registry.writeMultiString("SOFTWARE\\OvTest", "List", {utf8, "x"}));

    const struct {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> bytes;
    } values[] = {
        {L"Text", REG_SZ, utf16Bytes(wide + L'\0')},
        {L"Dword", REG_DWORD, {0xEF, 0xBE, 0xAD, 0xDE}},
        {L"Qword", REG_QWORD, {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
        {L"NoBytes", REG_BINARY, {}},
        {L"List", REG_MULTI_SZ, utf16Bytes(wide + L'\0' + L'x' + L'\0' + L'\0')},
    };
    for (const auto& v : values) {
        EXPECT_EQ(stored(v.name, v.type), v.bytes) << toUtf8(v.name);
        std::vector<BYTE> bytes{9};
        DWORD type = REG_NONE;
        EXPECT_TRUE(registry.readValue(testKey, v.name, bytes, type));
        EXPECT_EQ(bytes, v.bytes) << toUtf8(v.name);
        EXPECT_EQ(registry.valueType(testKey, v.name), v.type) << toUtf8(v.name);
    }

    std::string text;
    EXPECT_TRUE(registry.readString("SOFTWARE\\OvTest", "Text", text));
    EXPECT_EQ(text, utf8);
    std::vector<std::string> list;
    EXPECT_TRUE(registry.readMultiString("SOFTWARE\\OvTest", "List", list));
    EXPECT_EQ(list, (std::vector<std::string>{utf8, "x"}));
    DWORD dword = 0;
    std::uint64_t qword = 0;
    EXPECT_TRUE(registry.readDword(testKey, L"Dword", dword));
    EXPECT_EQ(dword, 0xDEADBEEFu);
    EXPECT_TRUE(registry.readQword(testKey, L"Qword", qword));
    EXPECT_EQ(qword, 0x0123456789ABCDEFull);

    EXPECT_EQ(outcome(registry.writeDword(testKey + L"\\Missing", L"Value", 1)), RegistryStatus::NotFound);
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Missing"));
}

// Absent values and keys are NotFound, values of other types WrongType. A failed read empties a
// string but leaves any other output as it was.
TEST_F(RegistryTest, ReadFailures) {
    const std::pair<const wchar_t*, DWORD> values[] = {
        {L"Sz", REG_SZ},       {L"Dword", REG_DWORD},   {L"BigEndian", REG_DWORD_BIG_ENDIAN},
        {L"Qword", REG_QWORD}, {L"Binary", REG_BINARY}, {L"Multi", REG_MULTI_SZ}};
    for (const auto& v : values) {
        // Longer than a DWORD, shorter than a QWORD: only the type may decide.
        ASSERT_TRUE(sandbox.setValue(testKey, v.first, v.second, {'a', 0, 'b', 0, 0, 0}));
    }

    std::wstring key;
    std::wstring text = L"previous";
    DWORD dword = 7;
    DWORD type = 7;
    std::uint64_t qword = 7;
    std::vector<std::wstring> list{L"keep"};
    std::vector<BYTE> bytes{7};
    // Each reader with the one type it accepts; REG_NONE for those that take any.
    const std::pair<DWORD, std::function<bool(const wchar_t*, RegistryStatus*)>> readers[] = {
        {REG_SZ, [&](auto n, auto s) { return registry.readString(key, n, text, s); }},
        {REG_DWORD, [&](auto n, auto s) { return registry.readDword(key, n, dword, s); }},
        {REG_QWORD, [&](auto n, auto s) { return registry.readQword(key, n, qword, s); }},
        {REG_MULTI_SZ, [&](auto n, auto s) { return registry.readMultiString(key, n, list, s); }},
        {REG_BINARY, [&](auto n, auto s) { return registry.readBinary(key, n, bytes, s); }},
        {REG_NONE, [&](auto n, auto s) { return registry.readValue(key, n, bytes, type, s); }},
        {REG_NONE, [&](auto n, auto s) { return registry.valueType(key, n, s) != REG_NONE; }},
        {REG_NONE, [&](auto n, auto s) { return registry.deleteValue(key, n, s); }},
    };
    for (const std::wstring& missing : {testKey, testKey + L"\\Missing"}) {
        key = missing;
        for (size_t i = 0; i < std::size(readers); ++i) {
            RegistryStatus status = RegistryStatus::Ok;
            EXPECT_FALSE(readers[i].second(L"Absent", &status)) << "reader " << i;
            EXPECT_EQ(status, RegistryStatus::NotFound) << "reader " << i << " in " << toUtf8(key);
        }
    }
    EXPECT_EQ(text, L"");
    EXPECT_EQ(dword, 7u);
    EXPECT_EQ(type, 7u);
    EXPECT_EQ(qword, 7u);
    EXPECT_EQ(bytes, std::vector<BYTE>{7});

    key = testKey;
    text = L"previous";
    for (const auto& v : values) {
        for (size_t i = 0; i < std::size(readers); ++i) {
            if (readers[i].first != REG_NONE && readers[i].first != v.second) {
                RegistryStatus status = RegistryStatus::Ok;
                EXPECT_FALSE(readers[i].second(v.first, &status)) << "reader " << i << " " << toUtf8(v.first);
                EXPECT_EQ(status, RegistryStatus::WrongType) << "reader " << i << " " << toUtf8(v.first);
            }
        }
    }
    EXPECT_EQ(text, L"");
    EXPECT_EQ(list, std::vector<std::wstring>{L"keep"});
}

// Strings come back as stored, without one terminating NUL and never expanded.
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
        {L"NoBytes", REG_SZ, {}, L""},
        {L"OddBytes", REG_SZ, {'a', 0, 'b'}, L"a"},
        {L"Long", REG_SZ, utf16Bytes(longText + L'\0'), longText},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sandbox.setValue(testKey, c.name, c.type, c.stored));
        std::wstring text = L"previous";
        EXPECT_TRUE(registry.readString(testKey, c.name, text)) << toUtf8(c.name);
        EXPECT_EQ(text, c.expected) << toUtf8(c.name);
    }
}

// String lists: what is stored for a list, what a stored value reads as, and lists refused.
TEST_F(RegistryTest, MultiStringsFollowTheListFormat) {
    ASSERT_TRUE(registry.writeMultiString(testKey, L"List", {L"a", L"b"}));
    EXPECT_EQ(stored(L"List", REG_MULTI_SZ), utf16Bytes(std::wstring(L"a\0b\0\0", 5)));
    ASSERT_TRUE(registry.writeMultiString(testKey, L"List", {}));
    EXPECT_EQ(stored(L"List", REG_MULTI_SZ), utf16Bytes(std::wstring(L"\0\0", 2)));

    const std::vector<std::wstring> previous{L"previous"};
    const std::pair<std::vector<BYTE>, std::vector<std::wstring>> reads[] = {
        {utf16Bytes(std::wstring(L"a\0b\0\0", 5)), {L"a", L"b"}},
        {utf16Bytes(std::wstring(L"a\0\0b\0\0", 6)), {L"a"}},
        {utf16Bytes(std::wstring(L"a\0b", 3)), {L"a"}},
        {utf16Bytes(std::wstring(L"\0\0", 2)), {}},
        {{'a', 0, 0, 0, 'b'}, {L"a"}},
        {{}, previous}, // an empty value leaves the list as it was
    };
    for (const auto& r : reads) {
        ASSERT_TRUE(sandbox.setValue(testKey, L"Stored", REG_MULTI_SZ, r.first));
        std::vector<std::wstring> list = previous;
        EXPECT_TRUE(registry.readMultiString(testKey, L"Stored", list)) << r.first.size() << " bytes";
        EXPECT_EQ(list, r.second) << r.first.size() << " bytes";
        std::vector<std::string> narrow{"previous"};
        EXPECT_TRUE(registry.readMultiString("SOFTWARE\\OvTest", "Stored", narrow));
        EXPECT_EQ(narrow.size(), r.second.size()) << r.first.size() << " bytes, narrow";
    }

    // An empty item would end the list early: nothing is written, not even into a missing value.
    EXPECT_EQ(outcome(registry.writeMultiString(testKey, L"List", {L"a", L"", L"b"})),
              RegistryStatus::InvalidArgument);
    EXPECT_EQ(outcome(registry.writeMultiString(testKey, L"New", {L""})), RegistryStatus::InvalidArgument);
    EXPECT_EQ(stored(L"List", REG_MULTI_SZ), utf16Bytes(std::wstring(L"\0\0", 2)));
    EXPECT_FALSE(sandbox.valueExists(testKey, L"New"));
}

// Key paths are created from the top down, one level at a time; the first level must exist.
TEST_F(RegistryTest, CreatesKeyPaths) {
    const struct {
        std::wstring path;
        RegistryStatus status;
        std::vector<std::wstring> existing;
    } cases[] = {
        {testKey + L"\\A\\B\\C", RegistryStatus::Ok, {testKey + L"\\A\\B", testKey + L"\\A\\B\\C"}},
        {testKey + L"\\A\\B\\C", RegistryStatus::Ok, {testKey + L"\\A\\B\\C"}}, // again: all exist
        {testKey + L"\\D\\", RegistryStatus::InvalidArgument, {testKey + L"\\D"}},
        {L"", RegistryStatus::Ok, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.path));
        RegistryStatus status = RegistryStatus::Failed;
        EXPECT_EQ(registry.createKeyPath(c.path, &status), c.status == RegistryStatus::Ok);
        EXPECT_EQ(status, c.status);
        for (const auto& key : c.existing) {
            EXPECT_TRUE(sandbox.keyExists(key)) << toUtf8(key);
        }
    }
    EXPECT_EQ(outcome(registry.createKey(testKey, L"")), RegistryStatus::InvalidArgument);
}

// deleteKey removes only a key without sub-keys; deleteTree removes a key with everything below.
// A missing name never falls back to deleting the parent.
TEST_F(RegistryTest, DeletesKeysAndTrees) {
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\Tree\\Child\\Grandchild"));
    ASSERT_TRUE(sandbox.setString(testKey + L"\\Tree\\Child", L"Value", L"x"));
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\Leaf"));

    // AccessDenied is what the system answers for a key with sub-keys.
    EXPECT_EQ(outcome(registry.deleteKey(testKey, L"Tree")), RegistryStatus::AccessDenied);
    EXPECT_TRUE(sandbox.keyExists(testKey + L"\\Tree\\Child\\Grandchild"));
    EXPECT_EQ(outcome(registry.deleteTree(testKey, L"Tree")), RegistryStatus::Ok);
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Tree"));
    EXPECT_TRUE(registry.deleteKey(testKey + L"\\Leaf"));
    EXPECT_FALSE(sandbox.keyExists(testKey + L"\\Leaf"));

    EXPECT_EQ(outcome(registry.deleteKey(testKey, L"Leaf")), RegistryStatus::NotFound);
    EXPECT_EQ(outcome(registry.deleteTree(testKey, L"Tree")), RegistryStatus::NotFound);
    EXPECT_EQ(outcome(registry.deleteKey(testKey, L"")), RegistryStatus::InvalidArgument);
    EXPECT_EQ(outcome(registry.deleteTree(testKey, L"")), RegistryStatus::InvalidArgument);
    EXPECT_EQ(outcome(registry.deleteKey(testKey + L"\\")), RegistryStatus::InvalidArgument);
    EXPECT_TRUE(sandbox.keyExists(testKey));
}

// Enumerations list every direct name, succeed with nothing for an empty key and leave no list
// on failure.
TEST_F(RegistryTest, EnumeratesSubKeysAndValues) {
    std::vector<std::wstring> names{L"stale"};
    EXPECT_EQ(registry.enumerateSubKeys(testKey, names), 0u);
    EXPECT_EQ(registry.lastStatus(), RegistryStatus::Ok);
    EXPECT_TRUE(names.empty());

    const std::wstring longName(300, L'v'); // a value name longer than any key name may be
    for (const std::wstring name : {L"One", L"\u00C4rger"}) {
        ASSERT_TRUE(sandbox.createKey(testKey + L"\\" + name));
        ASSERT_TRUE(sandbox.setString(testKey, name, L"x"));
    }
    ASSERT_TRUE(sandbox.setString(testKey, longName, L"x"));
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\One\\Deeper"));
    EXPECT_EQ(registry.enumerateSubKeys(testKey, names), 2u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"One", L"\u00C4rger"}));
    EXPECT_EQ(registry.enumerateValues(testKey, names), 3u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"One", longName, L"\u00C4rger"}));

    EXPECT_EQ(outcome(registry.enumerateValues(testKey + L"\\Missing", names) != 0),
              RegistryStatus::NotFound);
    EXPECT_TRUE(names.empty());
    // A key name of the largest length leaves no room for the NUL, so the enumeration fails after
    // "One": no partial list.
    ASSERT_TRUE(sandbox.createKey(testKey + L"\\" + std::wstring(255, L'z')));
    EXPECT_EQ(outcome(registry.enumerateSubKeys(testKey, names) != 0), RegistryStatus::Failed);
    EXPECT_TRUE(names.empty());
}

// A key's security is honoured, and each operation asks for no more access than it needs.
TEST_F(RegistryTest, ReportsAccessDeniedByTheKeySecurity) {
    const std::wstring queryOnly = testKey + L"\\QueryOnly";
    const std::wstring setOnly = testKey + L"\\SetOnly";
    const std::wstring closed = testKey + L"\\Closed";
    ASSERT_TRUE(sandbox.setValue(queryOnly, L"Binary", REG_BINARY, {1, 2, 3}));
    ASSERT_TRUE(sandbox.setValue(setOnly, L"Dword", REG_DWORD, {1, 0, 0, 0}));
    ASSERT_TRUE(sandbox.setString(closed, L"Text", L"secret"));
    ASSERT_TRUE(sandbox.restrictKey(queryOnly, KEY_QUERY_VALUE));
    ASSERT_TRUE(sandbox.restrictKey(setOnly, KEY_SET_VALUE));
    ASSERT_TRUE(sandbox.restrictKey(closed, 0));

    std::vector<BYTE> bytes;
    std::wstring text;
    std::vector<std::wstring> names;
    EXPECT_EQ(outcome(registry.readBinary(queryOnly, L"Binary", bytes)), RegistryStatus::Ok);
    EXPECT_EQ(bytes, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(outcome(registry.writeDword(setOnly, L"Dword", 2)), RegistryStatus::Ok);
    EXPECT_EQ(outcome(registry.deleteValue(setOnly, L"Dword")), RegistryStatus::Ok);
    // Only READ_CONTROL is asked for, which the key's owner always has.
    EXPECT_EQ(outcome(registry.keyExists(closed)), RegistryStatus::Ok);

    EXPECT_EQ(outcome(registry.writeDword(queryOnly, L"New", 1)), RegistryStatus::AccessDenied);
    EXPECT_EQ(outcome(registry.readString(closed, L"Text", text)), RegistryStatus::AccessDenied);
    EXPECT_EQ(outcome(registry.enumerateSubKeys(closed, names) != 0), RegistryStatus::AccessDenied);
}

// HKEY_LOCAL_MACHINE\SOFTWARE of the real registry: a redirected root has no views.
class RegistryViewTest : public ::testing::Test {
protected:
    void TearDown() override {
        native.deleteTree(L"SOFTWARE", name);
        native.deleteTree(L"SOFTWARE\\Wow6432Node", name);
    }

    const std::wstring name = L"OvTestView-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring path = L"SOFTWARE\\" + name;
    Win32Registry native{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}; // sees Wow6432Node as a plain key
};

// With KEY_WOW64_32KEY keys land under Wow6432Node; with the flag cleared, in the 64-bit view.
TEST_F(RegistryViewTest, ThirtyTwoBitViewLandsUnderWow6432Node) {
    Win32Registry registry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    ASSERT_TRUE(registry.createKeyPath(path + L"\\Sub"));
    ASSERT_TRUE(registry.writeString(path, L"Value", L"32"));
    EXPECT_TRUE(native.keyExists(L"SOFTWARE\\Wow6432Node\\" + name + L"\\Sub"));
    EXPECT_FALSE(native.keyExists(path));
    std::wstring text;
    EXPECT_TRUE(registry.readString(path, L"Value", text));
    EXPECT_EQ(text, L"32");

    registry.setViewFlags(0);
    EXPECT_FALSE(registry.keyExists(path));
    ASSERT_TRUE(registry.createKeyPath(path));
    EXPECT_TRUE(native.keyExists(path));

    registry.setViewFlags(KEY_WOW64_32KEY);
    EXPECT_TRUE(registry.deleteTree(L"SOFTWARE", name));
    EXPECT_FALSE(native.keyExists(L"SOFTWARE\\Wow6432Node\\" + name));
    EXPECT_TRUE(native.keyExists(path));
}

} // namespace
