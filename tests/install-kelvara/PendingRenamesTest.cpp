#include "PendingFileRenames.h"
#include "PendingRenameList.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

const std::u16string kFolder = u"C:\\Kelvara\\2.70\\";

struct FilterCase {
    const char* name;
    std::u16string list;
    std::u16string kept; // the list written back, with its list-ending NUL
    bool anyDropped;
};

} // namespace

// Which pairs the filter drops, and the list it leaves, for the shapes the value takes on machines.
TEST(PendingRenameList, DropsExactlyThePairsTouchingTheFolder) {
    const std::u16string elsewhere = u"\\??\\C:\\Old\\a.dll\0\\??\\C:\\Old\\b.dll\0"s;
    const std::u16string deletion = u"\\??\\C:\\Temp\\x.tmp\0\0"s;
    const std::u16string dropped = u"\\??\\C:\\Kelvara\\2.70\\a\0\0"s;
    const FilterCase cases[] = {
        {"pairs elsewhere", elsewhere + deletion + u'\0', elsewhere + deletion + u'\0', false},
        {"source in the folder", u"\\??\\C:\\Kelvara\\2.70\\a.dll\0\0"s + deletion + u'\0', deletion + u'\0',
         true},
        {"destination in the folder", deletion + u"\\??\\C:\\New\\a\0\\??\\C:\\Kelvara\\2.70\\a\0\0"s,
         deletion + u'\0', true},
        {"the folder itself", u"\\??\\C:\\Kelvara\\2.70\0\0"s + elsewhere + u'\0', elsewhere + u'\0', true},
        {"letter case differs", u"\\??\\c:\\kelvara\\2.70\\a.dll\0\0\0"s,
         u"\\??\\c:\\kelvara\\2.70\\a.dll\0\0\0"s, false},
        {"all pairs dropped", u"\\??\\C:\\Kelvara\\2.70\\a\0\0\\??\\C:\\Kelvara\\2.70\0\0\0"s, u"\0"s, true},
        // The list-ending NUL also ends a last destination without its own.
        {"no final NUL", dropped + u"\\??\\C:\\Old\\a\0\\??\\C:\\Old\\b"s,
         u"\\??\\C:\\Old\\a\0\\??\\C:\\Old\\b\0"s, true},
        // The scan goes on after an empty source: what follows is paired and filtered like any pair.
        {"data after the list's end", dropped + deletion + u"\0x\0y\0\0"s, deletion + u"\0x\0y\0\0\0"s, true},
        {"extra NULs at the end", dropped + deletion + u"\0\0\0"s, deletion + u"\0\0\0"s, true},
        {"starts with a NUL", u"\0\\??\\C:\\Kelvara\\2.70\\a\0\\??\\C:\\Old\\b\0\0"s,
         u"\0\\??\\C:\\Kelvara\\2.70\\a\0\\??\\C:\\Old\\b\0\0"s, false}, // unit 0 is never a string's end
    };
    for (const FilterCase& c : cases) {
        const PendingRenameFilter result = filterPendingRenames(c.list.data(), c.list.size(), kFolder);
        EXPECT_EQ(result.anyDropped, c.anyDropped) << c.name;
        EXPECT_EQ(std::u16string(result.kept.begin(), result.kept.end()), c.kept) << c.name;
    }
}

// The glue on the registry: the value is rewritten only when a pair was dropped, and a wrong type
// or a folder without its backslash leaves it as it was.
TEST(PendingFileRenames, RewritesTheValueOnlyWhenAPairWasDropped) {
    ovtest::RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const std::wstring name = L"PendingFileRenameOperations";
    const auto stored = [&](DWORD& type) {
        std::vector<BYTE> data;
        EXPECT_TRUE(sandbox.getValue(key, name, type, data));
        return data;
    };

    ASSERT_TRUE(sandbox.setValue(key, L"other", REG_DWORD, {0, 0, 0, 0}));
    removePendingFileOperationsInFolder(L"C:\\Kelvara\\2.70\\"); // no value: nothing created
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    EXPECT_FALSE(sandbox.getValue(key, name, type, data));

    ASSERT_TRUE(sandbox.setString(key, name, L"\\??\\C:\\Kelvara\\2.70\\a"));
    removePendingFileOperationsInFolder(L"C:\\Kelvara\\2.70\\");
    EXPECT_EQ(stored(type), ovtest::utf16Bytes(L"\\??\\C:\\Kelvara\\2.70\\a"s + L'\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    const std::wstring mixed = L"\\??\\C:\\Kelvara\\2.70\\a\0\0\\??\\C:\\Old\\b\0\\??\\C:\\Old\\c\0\0"s;
    ASSERT_TRUE(sandbox.setValue(key, name, REG_MULTI_SZ, ovtest::utf16Bytes(mixed)));
    for (const wchar_t* bad : {L"", L"C:\\Kelvara\\2.70"}) {
        removePendingFileOperationsInFolder(bad);
        EXPECT_EQ(stored(type), ovtest::utf16Bytes(mixed));
    }
    // Values of 0 bytes and of one NUL stay; an odd last byte is no unit and is not read; a value
    // without its closing NULs, as other programs may write it, is read to its last unit.
    std::vector<BYTE> odd = ovtest::utf16Bytes(mixed);
    odd.push_back('x');
    const std::vector<BYTE> kept = ovtest::utf16Bytes(L"\\??\\C:\\Old\\b\0\\??\\C:\\Old\\c\0\0"s);
    const std::vector<BYTE> open = ovtest::utf16Bytes(mixed.substr(0, mixed.size() - 2));
    const std::vector<BYTE> openKept = ovtest::utf16Bytes(L"\\??\\C:\\Old\\b\0\\??\\C:\\Old\\c\0"s);
    const std::pair<std::vector<BYTE>, std::vector<BYTE>> rewrites[] = {
        {{}, {}}, {{0, 0}, {0, 0}}, {ovtest::utf16Bytes(mixed), kept}, {odd, kept}, {open, openKept}};
    for (const auto& [value, left] : rewrites) {
        ASSERT_TRUE(sandbox.setValue(key, name, REG_MULTI_SZ, value));
        removePendingFileOperationsInFolder(L"C:\\Kelvara\\2.70\\");
        EXPECT_EQ(stored(type), left);
        EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    }
}
