#include "Environment.h"

#include <install-common/ShortcutPaths.h>
#include <logging/Log.h>
#include <ov/Win32.h>

#include <exception>
#include <vector>

std::wstring getEnvironmentVariable(const std::wstring& name) {
    try {
        const DWORD length = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (length == 0) {
            return std::wstring();
        }
        std::vector<wchar_t> buffer(length, L'\0');
        if (GetEnvironmentVariableW(name.c_str(), buffer.data(), length) == 0) {
            return std::wstring();
        }
        return std::wstring(buffer.data());
    } catch (const std::exception& e) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Exception: %hs", e.what());
        return std::wstring();
    }
}

std::wstring GetEnvVariable(const std::wstring& name, const std::wstring& defaultValue) {
    // One less than the buffer, so a value of 1023 characters or more counts as too long.
    wchar_t buffer[1024] = {};
    const DWORD result = GetEnvironmentVariableW(name.c_str(), buffer, 1023);
    if (result >= 1 && result <= 1023) {
        return std::wstring(buffer);
    }
    OV_KMF_LOG(OvKmfLogging::Warning, L"Using default value for %s", name.c_str());
    return defaultValue;
}

std::wstring GetFileNameVariable(const std::wstring& name, const std::wstring& defaultValue) {
    const std::wstring value = GetEnvVariable(name, defaultValue);
    if (IsPlainShortcutName(value)) {
        return value;
    }
    OV_KMF_LOG(OvKmfLogging::Warning, L"Using default value for %s: \"%s\" is not a plain name", name.c_str(),
               value.c_str());
    return defaultValue;
}
