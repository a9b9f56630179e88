#include <ov/ModulePaths.h>

#include <ov/PathRules.h>

#include <vector>

namespace ov {

std::wstring getModuleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(module, buffer.data(), size);
        if (length == 0) {
            return std::wstring();
        }
        if (length < size) {
            return std::wstring(buffer.data());
        }
        // A result filling the whole buffer was cut off.
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring getExecutableFolder() {
    std::wstring folder;
    std::wstring fileName;
    splitPath(getModuleFileName(nullptr), folder, fileName);
    return folder;
}

std::wstring getSystemDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length > buffer.size()) {
        buffer.resize(length);
        length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length > buffer.size()) {
            return std::wstring();
        }
    }
    return std::wstring(buffer.data(), length);
}

} // namespace ov
