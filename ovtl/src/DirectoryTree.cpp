#include <ov/DirectoryTree.h>

#include <ov/Handle.h>
#include <ov/PathRules.h>
#include <ov/Win32.h>

namespace ov {

namespace {

bool scheduleDeletionAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool removeFile(const std::wstring& path, DWORD attributes, bool delayIfLocked) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (DeleteFileW(path.c_str())) {
        return true;
    }
    return delayIfLocked && scheduleDeletionAtRestart(path);
}

} // namespace

bool removeDirectoryTree(const std::wstring& text, bool delayIfLocked) {
    // What the file system sees: a NUL inside the text (registry data can hold one) ends the path,
    // and the search pattern must be built on that path, or it would name the folder itself and
    // the walk would enter it again and again.
    const std::wstring folder(text.c_str());
    if (folder.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }

    bool result = true;
    // A junction or directory link is removed as a link; what it points to is not ours.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry = {};
        ScopedFindHandle find(FindFirstFileW(joinPath(folder, L"*").c_str(), &entry));
        if (!find) {
            return false;
        }
        do {
            const std::wstring name = entry.cFileName;
            const std::wstring path = joinPath(folder, name);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (name == L"." || name == L"..") {
                    continue;
                }
                if (!removeDirectoryTree(path, delayIfLocked)) {
                    result = false;
                }
            } else if (!removeFile(path, entry.dwFileAttributes, delayIfLocked)) {
                result = false;
            }
        } while (FindNextFileW(find.get(), &entry));
    }

    if (RemoveDirectoryW(folder.c_str())) {
        return result;
    }
    if (!delayIfLocked) {
        return false;
    }
    return scheduleDeletionAtRestart(folder) && result;
}

} // namespace ov
