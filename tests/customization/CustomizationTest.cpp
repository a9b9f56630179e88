#include <ProductVersion.h>
#include <install-common/Customization.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Installs a table parsed from the text as the process-wide one.
void install(const std::string& text) {
    std::unique_ptr<CustomizationSettings> table(new CustomizationSettings());
    parseKeyValueText(text, *table);
    installCustomizationSettings(std::move(table));
}

} // namespace

// The shipped text, loaded from this program's resource (again from the cached bytes for a second
// table), gives the getters its values and the defaults for what it lacks.
TEST(CustomizationTest, ShippedText) {
    std::unique_ptr<CustomizationSettings> table = loadCustomizationSettings();
    ASSERT_TRUE(table);
    EXPECT_EQ(14u, table->size());
    EXPECT_EQ(OV_PRODUCT_VERSION_TEXT, table->at("Version"));
    EXPECT_EQ(0u, table->count("SdkCompanyName"));
    const std::unique_ptr<CustomizationSettings> again = loadCustomizationSettings();
    EXPECT_NE(table.get(), again.get());
    EXPECT_EQ(*table, *again);

    installCustomizationSettings(std::move(table));
    EXPECT_EQ("Orvanta", OVVpnCustomization::getSdkCompanyName());
    EXPECT_EQ("Kelvara", OVVpnCustomization::getSdkProductName());
    EXPECT_EQ("ovkelvaratap", OVVpnCustomization::getOpenVpnTapDriverName());
    EXPECT_EQ("ovkelvarawintun", OVVpnCustomization::getOpenVpnTunnelingDriverName());
    EXPECT_EQ("ovkelvarawfpcallout", OVVpnCustomization::getWfpCalloutDriverName());
    EXPECT_TRUE(OVVpnCustomization::isWintunSupported());
}

// An empty table gives every default (the tap driver's is empty); values replace the defaults,
// empty values do not.
TEST(CustomizationTest, DefaultsAndLookups) {
    install("");
    EXPECT_EQ("Orvanta", OVVpnCustomization::getSdkCompanyName());
    EXPECT_EQ("Kelvara", OVVpnCustomization::getSdkProductName());
    EXPECT_EQ("", OVVpnCustomization::getOpenVpnTapDriverName());
    EXPECT_EQ("ovkelvarawintun", OVVpnCustomization::getOpenVpnTunnelingDriverName());
    EXPECT_EQ("ovkelvarawfpcallout", OVVpnCustomization::getWfpCalloutDriverName());
    EXPECT_TRUE(OVVpnCustomization::isWintunSupported());

    install("SdkCompanyName=Acme\nSdkProductName=\nFlag\n");
    EXPECT_EQ("Acme", OVVpnCustomization::getSdkCompanyName());
    EXPECT_EQ("Kelvara", OVVpnCustomization::getSdkProductName());
    EXPECT_EQ("d", getCustomizationString("Flag", "d"));
}

// Only "true" and "1" are true; other values are false; absent or empty give the default.
TEST(CustomizationTest, BooleanSpellings) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"WintunSupported=1", true},      {"WintunSupported=true", true},
        {"WintunSupported=TRUE", false},  {"WintunSupported=True", false},
        {"WintunSupported=yes", false},   {"WintunSupported=0", false},
        {"WintunSupported=false", false}, {"WintunSupported= 1", false},
        {"WintunSupported=", true},       {"Other=0", true},
    };
    for (const Case& c : cases) {
        install(c.text);
        EXPECT_EQ(c.expected, OVVpnCustomization::isWintunSupported()) << c.text;
    }
    EXPECT_FALSE(getCustomizationBool("Missing", false));
}
