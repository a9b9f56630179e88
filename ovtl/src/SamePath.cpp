#include <ov/SamePath.h>

#include <ov/Handle.h>
#include <ov/PathRules.h>
#include <ov/Win32.h>

namespace ov {

namespace {

// The folder's identity on disk; false when it cannot be opened.
bool folderIdentity(const std::wstring& folder, BY_HANDLE_FILE_INFORMATION& identity) {
    // Backup semantics: the only way to open a folder; no sharing is denied to anyone.
    const ScopedHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle && GetFileInformationByHandle(handle.get(), &identity);
}

} // namespace

bool isSamePath(const std::wstring& left, const std::wstring& right) {
    const std::wstring a = stripTrailingBackslash(left);
    const std::wstring b = stripTrailingBackslash(right);
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool isSameFolder(const std::wstring& left, const std::wstring& right) {
    BY_HANDLE_FILE_INFORMATION a = {};
    BY_HANDLE_FILE_INFORMATION b = {};
    if (!folderIdentity(left, a) || !folderIdentity(right, b)) {
        return isSamePath(left, right);
    }
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

bool folderContains(const std::wstring& folder, const std::wstring& inner) {
    std::wstring candidate = stripTrailingBackslash(inner);
    std::wstring parent;
    std::wstring name;
    while (!candidate.empty()) {
        // "C:" alone is the drive's current folder; its root is "C:\".
        const bool drive = candidate.size() == 2 && candidate[1] == L':';
        if (isSameFolder(folder, drive ? candidate + L"\\" : candidate)) {
            return true;
        }
        if (!splitPath(candidate, parent, name)) {
            return false;
        }
        candidate = parent;
    }
    return false;
}

} // namespace ov
