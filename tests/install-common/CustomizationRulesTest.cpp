// The customization text's rules, case by case: what every shape of line gives, and which values
// of a switch mean true. Loading the text and the getters' defaults show in the scenario rows.
#include <install-common/Customization.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

KeyValueTable parse(const std::string& text) {
    KeyValueTable table;
    parseKeyValueText(text, table);
    return table;
}

} // namespace

TEST(CustomizationRules, EachShapeOfLine) {
    const std::pair<std::string, KeyValueTable> cases[] = {
        {"A=1\nA=2", {{"A", "2"}}},                                      // the later line wins
        {" A = x \n", {{" A ", " x "}}},                                 // blanks belong to key and value
        {"Name=a=b\n", {{"Name", "a=b"}}},                               // further '=' belong to the value
        {"Flag\n", {{"Flag", ""}}},                                      // no '=': a key, empty value
        {"A\r=\r1\r\nB=2\r\n", {{"A", "1"}, {"B", "2"}}},                // CR dropped anywhere
        {"\n=x\n\nB=2", {{"B", "2"}}},                                   // empty keys skipped
        {"A=1\nB", {{"A", "1"}, {"B", ""}}},                             // last line without LF kept
        {"A=1\nB=", {{"A", "1"}}},                                       // a final '=' stores nothing
        {"A=1\nB=2\r", {{"A", "1"}}},                                    // nor does a final CR
        {std::string("A=1\nB=x\0y\nC=3", 13), {{"A", "1"}, {"B", "x"}}}, // NUL: stored, then the end
        {std::string("\0A=1", 4), {{"A", "1"}}},                         // NUL without a key: go on
        {std::string("AB\0=1\nC=2", 9), {{"AB", ""}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, parse(c.first)) << c.first;
    }
}

// Only "true" and "1" are true; absent or empty give the default.
TEST(CustomizationRules, SwitchSpellings) {
    const std::pair<const char*, bool> cases[] = {{"1", true},    {"true", true}, {"TRUE", false},
                                                  {"yes", false}, {"0", false},   {" 1", false},
                                                  {"", true}};
    for (const auto& c : cases) {
        installCustomizationSettings(
            std::make_unique<CustomizationSettings>(parse(std::string("WintunSupported=") + c.first)));
        EXPECT_EQ(c.second, OVVpnCustomization::isWintunSupported()) << c.first;
    }
    EXPECT_FALSE(getCustomizationBool("Missing", false)); // a missing key gives the default, either one
    EXPECT_TRUE(getCustomizationBool("Missing", true));
}
