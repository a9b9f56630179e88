#include <install-common/Customization.h>

#include <ov/Win32.h>

namespace {

const char kCustomizationKey[] = "customization";
const wchar_t kResourceType[] = L"CONF";
const WORD kResourceId = 500;

std::unique_ptr<CustomizationSettings>& processTable() {
    static std::unique_ptr<CustomizationSettings> table;
    return table;
}

// The bytes of the customization resource of the executable; empty when any step fails.
std::vector<char> readCustomizationResource() {
    const HMODULE module = GetModuleHandleW(nullptr);
    if (module == nullptr) {
        return {};
    }
    const HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(kResourceId), kResourceType);
    if (info == nullptr) {
        return {};
    }
    const HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) {
        return {};
    }
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    const DWORD size = SizeofResource(module, info);
    if (bytes == nullptr || size == 0) {
        return {};
    }
    return std::vector<char>(bytes, bytes + size);
}

} // namespace

OVVpnCustomizationPrivate::OVVpnCustomizationPrivate() = default;
OVVpnCustomizationPrivate::~OVVpnCustomizationPrivate() = default;

bool OVVpnCustomizationPrivate::loadResource(const std::string& key) {
    const auto found = cache_.find(key);
    if (found != cache_.end()) {
        return !found->second.empty();
    }
    std::vector<char>& entry = cache_[key];
    entry = readCustomizationResource();
    return !entry.empty();
}

const std::vector<char>* OVVpnCustomizationPrivate::cachedResource(const std::string& key) const {
    const auto found = cache_.find(key);
    return found == cache_.end() ? nullptr : &found->second;
}

OVVpnCustomization::OVVpnCustomization() : d_(new OVVpnCustomizationPrivate()) {}
OVVpnCustomization::~OVVpnCustomization() = default;

OVVpnCustomization& OVVpnCustomization::instance() {
    static OVVpnCustomization customization;
    return customization;
}

std::string OVVpnCustomization::getSdkCompanyName() {
    return getCustomizationString("SdkCompanyName", "Orvanta");
}

std::string OVVpnCustomization::getSdkProductName() {
    return getCustomizationString("SdkProductName", "Kelvara");
}

std::string OVVpnCustomization::getOpenVpnTapDriverName() {
    return getCustomizationString("OpenVpnTapDriverName", "");
}

std::string OVVpnCustomization::getOpenVpnTunnelingDriverName() {
    return getCustomizationString("OpenVpnTunnelingDriverName", "ovkelvarawintun");
}

std::string OVVpnCustomization::getWfpCalloutDriverName() {
    return getCustomizationString("WfpCalloutDriverName", "ovkelvarawfpcallout");
}

bool OVVpnCustomization::isWintunSupported() {
    return getCustomizationBool("WintunSupported", true);
}

std::unique_ptr<CustomizationSettings> loadCustomizationSettings() {
    OVVpnCustomizationPrivate& resources = OVVpnCustomization::instance().resources();
    std::string text;
    if (resources.loadResource(kCustomizationKey)) {
        const std::vector<char>* bytes = resources.cachedResource(kCustomizationKey);
        text.assign(bytes->begin(), bytes->end());
    }
    std::unique_ptr<CustomizationSettings> table(new CustomizationSettings());
    if (!text.empty()) {
        parseKeyValueText(text, *table);
    }
    return table;
}

const CustomizationSettings* installedCustomizationSettings() {
    return processTable().get();
}

void installCustomizationSettings(std::unique_ptr<CustomizationSettings> table) {
    processTable() = std::move(table);
}

std::string getCustomizationString(const std::string& key, const std::string& defaultValue) {
    const CustomizationSettings* table = installedCustomizationSettings();
    if (table == nullptr) {
        return defaultValue;
    }
    const auto found = table->find(key);
    if (found == table->end() || found->second.empty()) {
        return defaultValue;
    }
    return found->second;
}

bool getCustomizationBool(const std::string& key, bool defaultValue) {
    const std::string value = getCustomizationString(key, std::string());
    if (value.empty()) {
        return defaultValue;
    }
    return value == "true" || value == "1";
}
