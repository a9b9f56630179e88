#include <logging/LogPaths.h>

namespace OvKmfLogging {

namespace {

const wchar_t kGlobalLockPrefix[] = L"Global\\OvKmfLogging_";
const wchar_t kLocalLockPrefix[] = L"Local\\OvKmfLogging_";
// Backslashes from here on become underscores; the one of the "Local\" or "Global\" prefix
// selects the object name space and stays.
const std::wstring::size_type kLockNameReplaceFrom = 19;

} // namespace

bool isDefaultNameSpace(const std::wstring& nameSpace) {
    return nameSpace.empty() || nameSpace == L"default" || nameSpace == L"ul_default" ||
           nameSpace == L"rds_default";
}

std::wstring logFolder(const std::wstring& root, const std::wstring& nameSpace, const std::wstring& product) {
    std::wstring folder = root + L"\\Orvanta";
    if (!isDefaultNameSpace(nameSpace)) {
        folder += L"\\NS\\" + nameSpace;
    }
    return folder + L"\\Log\\" + product;
}

std::wstring generationFileName(const std::wstring& basePath, int generation) {
    if (generation == 0) {
        return basePath + L".log";
    }
    return basePath + L"." + std::to_wstring(generation) + L".log";
}

std::wstring lockNameFor(const std::wstring& basePath, bool isLowIntegrity) {
    std::wstring name = (isLowIntegrity ? kLocalLockPrefix : kGlobalLockPrefix) + basePath;
    for (std::wstring::size_type i = kLockNameReplaceFrom; i < name.size(); ++i) {
        if (name[i] == L'\\') {
            name[i] = L'_';
        }
    }
    return name;
}

} // namespace OvKmfLogging
