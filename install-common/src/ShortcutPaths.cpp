#include <install-common/ShortcutPaths.h>

#include <cstddef>
#include <cwchar>
#include <utility>

namespace {

const wchar_t kLnkExtension[] = L".lnk";
const std::size_t kLnkExtensionLength = 4;

// The fixed buffer of the shell's path functions, terminator included.
const std::size_t kPathBufferSize = 260;

// Joins as the C runtime's make-path does for a directory and a file name; false when the
// result would not fit the path buffer.
bool JoinIntoPathBuffer(const std::wstring& directory, const std::wstring& file, std::wstring& result) {
    std::wstring joined = directory;
    if (!joined.empty() && joined.back() != L'\\' && joined.back() != L'/') {
        joined += L'\\';
    }
    joined += file;
    if (joined.size() >= kPathBufferSize) {
        return false;
    }
    result = std::move(joined);
    return true;
}

} // namespace

std::wstring EnsureLnkExtension(const std::wstring& name) {
    if (name.empty()) {
        return name;
    }
    if (name.size() > kLnkExtensionLength &&
        name.compare(name.size() - kLnkExtensionLength, kLnkExtensionLength, kLnkExtension) == 0) {
        return name;
    }
    return name + kLnkExtension;
}

std::wstring BuildShortcutPath(const std::wstring& folder, const std::wstring& subfolder,
                               const std::wstring& fileName) {
    std::wstring directory = folder;
    if (!subfolder.empty() && !JoinIntoPathBuffer(folder, subfolder, directory)) {
        return {};
    }
    std::wstring path;
    if (!JoinIntoPathBuffer(directory, fileName, path)) {
        return {};
    }
    return path;
}

bool IsPlainShortcutName(const std::wstring& name) {
    if (name.empty() || name.front() == L'\\' || name.back() == L'\\' ||
        name.find(L"\\\\") != std::wstring::npos || name.find(L"..") != std::wstring::npos) {
        return false;
    }
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"/:*?\"<>|", c) != nullptr) {
            return false;
        }
    }
    return true;
}
