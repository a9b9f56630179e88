#include <install-common/KeyValueText.h>

#include <gtest/gtest.h>

#include <string>

namespace {

KeyValueTable parse(const std::string& text) {
    KeyValueTable table;
    parseKeyValueText(text, table);
    return table;
}

} // namespace

// Each text and the table it must give.
TEST(KeyValueTextTest, Rules) {
    struct Case {
        const char* intent;
        std::string text;
        KeyValueTable expected;
    };
    const Case cases[] = {
        {"later line wins", "A=1\nA=2", {{"A", "2"}}},
        {"blanks belong to key and value", " A = x \n", {{" A ", " x "}}},
        {"further '=' belong to the value", "Name=a=b\n", {{"Name", "a=b"}}},
        {"no '=' is a key with empty value", "Flag\n", {{"Flag", ""}}},
        {"CR anywhere is dropped, CR LF ends a line", "A\r=\r1\r\nB=2\r\n", {{"A", "1"}, {"B", "2"}}},
        {"empty keys skipped", "\n=x\n\nB=2", {{"B", "2"}}},
        {"last line without LF kept", "A=1\nB=2", {{"A", "1"}, {"B", "2"}}},
        {"last line of a key only kept", "A=1\nB", {{"A", "1"}, {"B", ""}}},
        {"final '=' ending the key stores nothing", "A=1\nB=", {{"A", "1"}}},
        {"final CR stores nothing", "A=1\nB=2\r", {{"A", "1"}}},
        {"NUL ends parsing after the line", std::string("A=1\nB=x\0y\nC=3", 13), {{"A", "1"}, {"B", "x"}}},
        {"NUL with an empty key goes on", std::string("\0A=1", 4), {{"A", "1"}}},
        {"NUL in a key ends parsing", std::string("AB\0=1\nC=2", 9), {{"AB", ""}}},
        {"only line ends", "\r\n\n\r", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, parse(c.text)) << c.intent;
    }
}

// Parsing adds to what the table already holds and replaces values of the same key.
TEST(KeyValueTextTest, AddsToTheTable) {
    KeyValueTable table{{"A", "old"}, {"Z", "kept"}};
    parseKeyValueText("A=new\nB=1\n", table);
    EXPECT_EQ((KeyValueTable{{"A", "new"}, {"B", "1"}, {"Z", "kept"}}), table);
}
