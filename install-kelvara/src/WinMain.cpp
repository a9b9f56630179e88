// Process entry of the installation action: no window, no command-line options. The outer
// installer framework describes the run through environment variables and reads the exit code.
#include "Environment.h"
#include "MainLogic.h"
#include "RunContext.h"
#include "UpdateActivation.h"

#include <logging/Log.h>
#include <ov/ModulePaths.h>
#include <ov/Win32.h>

#include <exception>
#include <string>

namespace {

const wchar_t kLogNameSpace[] = L"clp";
const wchar_t kLogProduct[] = L"Kelvara";
const int kLogDefaultLevel = OvKmfLogging::Info;
const unsigned kLogOpenFlags = 0;
const int kExceptionResult = 7;

// A library found in the executable's own folder (the framework's download folder, where anyone may
// have put one) would run its code with the installer's rights: from here on, libraries come only
// from the system folder. Looked up at run time, as Windows 7 without its loader update lacks it.
void restrictLibrariesToSystemFolder() {
    const auto setDefaultDllDirectories =
        ov::getExport<BOOL(WINAPI*)(DWORD)>(GetModuleHandleW(L"kernel32"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories == nullptr || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L""); // at least not the current folder
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    restrictLibrariesToSystemFolder();
    const std::wstring logName = std::wstring(L"install-") + kModuleId;
    OvKmfLogging::open(kLogNameSpace, kLogProduct, logName.c_str(), kLogDefaultLevel, kLogOpenFlags);

    int result = 0;
    try {
        RunContext context;
        context.registryRoot = normaliseRegistryRoot(getEnvironmentVariable(L"ul_reg_root"));
        if (!context.registryRoot.empty()) {
            OV_KMF_LOG(OvKmfLogging::Info, L"ULU registry root: %ls", context.registryRoot.c_str());
        }
        context.module = getEnvironmentVariable(L"ul_module");
        context.title = getEnvironmentVariable(L"ul_title");
        context.version = getEnvironmentVariable(L"ul_version");
        context.silent = isSilentInstallation(getEnvironmentVariable(L"ul_silent_installation"));
        if (context.title.empty()) {
            context.title = defaultTitle(context.module, context.version);
        }
        if (!context.version.empty() && !context.module.empty()) {
            OV_KMF_LOG(OvKmfLogging::Info, L"Installing %ls, version %ls. title: %ls", context.module.c_str(),
                       context.version.c_str(), context.title.c_str());
        }

        OV_KMF_LOG(OvKmfLogging::Info, L"Executing main logic...");
        MainLogic logic;
        result = logic.execute(context.silent);
        OV_KMF_LOG(OvKmfLogging::Info, L"Main logic returned: %d", result);
        if (result == MainLogic::Done || result == MainLogic::DoneRebootRequired) {
            activateUpdateModule(context);
        }
    } catch (const std::exception& e) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Exception %hs", e.what());
        result = kExceptionResult;
    }

    OV_KMF_LOG(OvKmfLogging::Info, L"Returning: %d", result);
    OvKmfLogging::close();
    return result;
}
