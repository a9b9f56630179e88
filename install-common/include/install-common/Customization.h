// Product names and behaviour switches that are not compiled in: the customization text in
// the executable's resource "CONF" 500, as one process-wide key=value table with typed getters.
#pragma once

#include <install-common/KeyValueText.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using CustomizationSettings = KeyValueTable;

// The resource cache behind the customization singleton.
class OVVpnCustomizationPrivate {
public:
    OVVpnCustomizationPrivate();
    virtual ~OVVpnCustomizationPrivate();
    OVVpnCustomizationPrivate(const OVVpnCustomizationPrivate&) = delete;
    OVVpnCustomizationPrivate& operator=(const OVVpnCustomizationPrivate&) = delete;

    // Makes sure the cache holds the customization resource's bytes under the key; true when
    // they are not empty. A missing, unreadable or empty resource is cached as empty and not
    // read again.
    bool loadResource(const std::string& key);

    // The bytes cached under the key; null when nothing was loaded for it.
    const std::vector<char>* cachedResource(const std::string& key) const;

private:
    std::map<std::string, std::vector<char>> cache_;
};

// The process-wide customization object, created on first use, and the typed getters over
// the process-wide table. The getters expect the table to be installed (see
// installCustomizationSettings); without one they answer their defaults.
class OVVpnCustomization {
public:
    static OVVpnCustomization& instance();
    virtual ~OVVpnCustomization();
    OVVpnCustomization(const OVVpnCustomization&) = delete;
    OVVpnCustomization& operator=(const OVVpnCustomization&) = delete;

    OVVpnCustomizationPrivate& resources() { return *d_; }

    static std::string getSdkCompanyName();             // default "Orvanta"
    static std::string getSdkProductName();             // default "Kelvara"
    static std::string getOpenVpnTapDriverName();       // default empty
    static std::string getOpenVpnTunnelingDriverName(); // default "ovkelvarawintun"
    static std::string getWfpCalloutDriverName();       // default "ovkelvarawfpcallout"
    static bool isWintunSupported();                    // default true

private:
    OVVpnCustomization();

    std::unique_ptr<OVVpnCustomizationPrivate> d_;
};

// A new table parsed from the executable's customization resource; never null, empty when
// the resource is missing or holds no key.
std::unique_ptr<CustomizationSettings> loadCustomizationSettings();

// The process-wide table; null until one is installed.
const CustomizationSettings* installedCustomizationSettings();

// Makes the table the process-wide one (replacing any earlier one); it stays until process exit.
void installCustomizationSettings(std::unique_ptr<CustomizationSettings> table);

// The value of the key when present and not empty; otherwise the default.
std::string getCustomizationString(const std::string& key, const std::string& defaultValue);

// True exactly for the values "true" and "1", false for any other value; the default when
// the key is absent or empty.
bool getCustomizationBool(const std::string& key, bool defaultValue);
