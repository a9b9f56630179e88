#include "Wow64.h"

#include <logging/Log.h>
#include <ov/ModulePaths.h>

bool IsWow64() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (kernel == nullptr) {
        OV_KMF_LOG(OvKmfLogging::Warning, L"Failed to get module handle, err:%d", GetLastError());
        return false;
    }
    // Looked up at run time: older 32-bit Windows does not export it.
    const auto isWow64Process = ov::getExport<BOOL(WINAPI*)(HANDLE, PBOOL)>(kernel, "IsWow64Process");
    if (isWow64Process == nullptr) {
        return false;
    }
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64); // a failed call leaves the answer false
    return wow64 != FALSE;
}
