#include "UpdateActivation.h"

#include "ProductLayout.h"

#include <logging/Log.h>
#include <ov/ModulePaths.h>
#include <ov/Win32Registry.h>

#include <vector>

void activateUpdateModule(const RunContext& context) {
    // The default view: for the 32-bit action on 64-bit Windows, the framework's 32-bit keys.
    ov::Win32Registry registry(HKEY_LOCAL_MACHINE);
    if (!context.version.empty() && !context.module.empty() && !context.registryRoot.empty()) {
        const std::wstring updatesKey = context.registryRoot + L"\\updates\\" + context.module;
        std::vector<std::wstring> packages;
        registry.enumerateSubKeys(updatesKey, packages);
        for (const std::wstring& package : packages) {
            // Package names are versions and compare exactly, letter case included.
            const bool active = package == context.version;
            if (active) {
                OV_KMF_LOG(OvKmfLogging::Info, L"Activating update %ls", package.c_str());
            } else {
                OV_KMF_LOG(OvKmfLogging::Info, L"Deactivating update %ls", package.c_str());
            }
            // Only into existing package keys: writeString creates no key.
            registry.writeString(updatesKey + L"\\" + package, L"status", active ? L"active" : L"inactive");
        }
    }
    const std::wstring modulesKey = std::wstring(product::kProductKey) + L"\\modules\\" + kModuleId;
    registry.createKeyPath(modulesKey);
    registry.writeString(modulesKey, L"path", ov::getExecutableFolder());
}
