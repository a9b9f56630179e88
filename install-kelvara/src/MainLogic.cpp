#include "MainLogic.h"

#include "Environment.h"

#include <logging/Log.h>
#include <ov/Win32.h>

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
    const std::wstring applicationName = GetEnvVariable(L"kelvara_app_name", kDefaultApplicationName);
    const std::wstring installationRoot = GetEnvVariable(L"UL_ROOT_DIR", kDefaultInstallationRoot);
    const std::wstring appModelId = GetEnvVariable(L"kelvara_app_model_id", kDefaultAppModelId);

    OV_KMF_LOG(OvKmfLogging::Info, L"Installation root directory: \"%s\"", installationRoot.c_str());
    OV_KMF_LOG(OvKmfLogging::Info, L"Application name: \"%s\"", applicationName.c_str());
    OV_KMF_LOG(OvKmfLogging::Info, L"App model id: \"%s\"", appModelId.c_str());
    if (silent) {
        OV_KMF_LOG(OvKmfLogging::Info, L"Doing silent installation!");
    }
    return Done;
}
