#include <install-common/UninstallationEntries.h>

#include <ProductVersion.h>
#include <install-common/ProductKeys.h>
#include <logging/Log.h>
#include <ov/Win32.h>
#include <ov/Win32Registry.h>

#include <iterator>
#include <string>

namespace {

const std::wstring kEntryKey = std::wstring(product::kUninstallKey) + L"\\" + product::kUninstallEntry;
const wchar_t kPublisher[] = L"Orvanta Corporation";
const unsigned kProductVersion[] = {OV_PRODUCT_VERSION_MAJOR, OV_PRODUCT_VERSION_MINOR,
                                    OV_PRODUCT_VERSION_PATCH, OV_PRODUCT_VERSION_TWEAK};

// Used by this unit only. Without view flags the entry lands in the process's own registry
// view, where the system looks for the programs of its bitness.
ov::Win32Registry& UninstallRegistry() {
    static ov::Win32Registry registry(HKEY_LOCAL_MACHINE, 0);
    return registry;
}

std::wstring ProductVersionText() {
    std::wstring text;
    for (std::size_t i = 0; i < std::size(kProductVersion); ++i) {
        if (i != 0) {
            text += L'.';
        }
        text += std::to_wstring(kProductVersion[i]);
    }
    return text;
}

} // namespace

// Outside the unnamed namespace so that its records name it plainly.
static void SetRegistryValue(const wchar_t* valueName, const std::wstring& value) {
    ov::RegistryStatus status = ov::RegistryStatus::Ok;
    if (!UninstallRegistry().writeString(kEntryKey, valueName, value, &status)) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Failed to set %s. Error = %d", valueName, static_cast<int>(status));
    }
}

bool UninstallationEntries::Install(const std::wstring& displayName, const std::wstring& uninstallerPath) {
    OV_KMF_LOG(OvKmfLogging::Info, L"Adding uninstall entry for '%s', '%s'", displayName.c_str(),
               uninstallerPath.c_str());

    ov::RegistryStatus status = ov::RegistryStatus::Ok;
    if (!UninstallRegistry().createKey(product::kUninstallKey, product::kUninstallEntry, &status)) {
        // The key may exist already and take the values all the same.
        OV_KMF_LOG(OvKmfLogging::Info,
                   L"Error creating subkey. It is fine if everything else succeeds. Error = %d",
                   static_cast<int>(status));
    }

    SetRegistryValue(L"Publisher", kPublisher);
    SetRegistryValue(L"UninstallString", uninstallerPath);
    SetRegistryValue(L"DisplayIcon", uninstallerPath);
    SetRegistryValue(L"DisplayName", displayName);
    SetRegistryValue(L"DisplayVersion", ProductVersionText());
    return true;
}
