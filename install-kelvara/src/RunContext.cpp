#include "RunContext.h"

std::wstring normaliseRegistryRoot(const std::wstring& value) {
    const std::wstring::size_type slash = value.find(L'\\');
    return slash == std::wstring::npos ? std::wstring() : value.substr(slash + 1);
}

bool isSilentInstallation(const std::wstring& value) {
    return value == L"yes";
}

std::wstring defaultTitle(const std::wstring& module, const std::wstring& version) {
    return module + L" " + version;
}
