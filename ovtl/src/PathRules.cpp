#include <ov/PathRules.h>

namespace ov {

std::wstring joinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) {
        return name;
    }
    if (name.empty()) {
        return stripTrailingBackslash(folder);
    }
    std::wstring path = folder;
    if (path.back() != L'\\') {
        path += L'\\';
    }
    path += name;
    return path;
}

bool splitPath(const std::wstring& path, std::wstring& folder, std::wstring& fileName) {
    const std::wstring text = stripTrailingBackslash(path);
    if (text.empty()) {
        return false;
    }
    const std::wstring::size_type slash = text.rfind(L'\\');
    if (slash == std::wstring::npos) {
        folder.clear();
        fileName = text;
        return true;
    }
    // "\name" has no folder and "a\\" (two trailing backslashes) has no name.
    if (slash == 0 || slash + 1 == text.size()) {
        return false;
    }
    folder = text.substr(0, slash);
    fileName = text.substr(slash + 1);
    return true;
}

std::wstring stripTrailingBackslash(const std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

} // namespace ov
