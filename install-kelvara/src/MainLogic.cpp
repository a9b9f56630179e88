#include "MainLogic.h"

#include "Environment.h"

#include <install-common/Customization.h>
#include <logging/Log.h>
#include <ov/ProcessUser.h>
#include <ov/Win32.h>

#include <memory>
#include <string>

namespace {

const wchar_t kDefaultApplicationName[] = L"Kelvara";
const wchar_t kDefaultInstallationRoot[] = L"C:\\Program Files (x86)\\Orvanta\\Kelvara";
const wchar_t kDefaultAppModelId[] = L"Orvanta.Kelvara";

} // namespace

bool IsWow64() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (kernel == nullptr) {
        OV_KMF_LOG(OvKmfLogging::Warning, L"Failed to get module handle, err:%d", GetLastError());
        return false;
    }
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process =
        reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (isWow64Process == nullptr) {
        return false;
    }
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64); // a failed call leaves the answer false
    return wow64 != FALSE;
}

int MainLogic::execute(bool silent) {
    // Nothing may be read or changed for a caller without administrator rights.
    const std::unique_ptr<ov::ProcessUser> processUser = ov::ProcessUser::create();
    if (!processUser->isAdmin()) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Not enough rights.");
        return NotEnoughRights;
    }

    const std::wstring applicationName = GetEnvVariable(L"kelvara_app_name", kDefaultApplicationName);
    const std::wstring installationRoot = GetEnvVariable(L"UL_ROOT_DIR", kDefaultInstallationRoot);
    const std::wstring appModelId = GetEnvVariable(L"kelvara_app_model_id", kDefaultAppModelId);

    OV_KMF_LOG(OvKmfLogging::Info, L"Installation root directory: \"%s\"", installationRoot.c_str());
    OV_KMF_LOG(OvKmfLogging::Info, L"Application name: \"%s\"", applicationName.c_str());
    OV_KMF_LOG(OvKmfLogging::Info, L"App model id: \"%s\"", appModelId.c_str());
    if (silent) {
        OV_KMF_LOG(OvKmfLogging::Info, L"Doing silent installation!");
    }

    // A table installed by an earlier run in this process is trusted as it is.
    if (installedCustomizationSettings() == nullptr) {
        installCustomizationSettings(loadCustomizationSettings());
        const CustomizationSettings* settings = installedCustomizationSettings();
        if (settings == nullptr || settings->empty()) {
            OV_KMF_LOG(OvKmfLogging::Fatal, L"Failed to initialize config");
            return NoCustomization;
        }
    }
    return Done;
}
