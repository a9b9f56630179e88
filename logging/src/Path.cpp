#include <logging/FileSystem.h>

#include <ov/Handle.h>

namespace OvKmfLogging {
namespace FileSystem {

FileAttributesQuery queryFileAttributes = &GetFileAttributesW;

std::unique_ptr<File> Path::createFile() {
    return std::make_unique<File>();
}

bool Path::exists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const ov::ScopedFindHandle found(FindFirstFileW(path.c_str(), &data));
    return found.valid();
}

bool Path::createDirectories(const std::wstring& path, std::size_t startIndex,
                             SECURITY_ATTRIBUTES* security) {
    std::wstring::size_type from = startIndex;
    for (;;) {
        const std::wstring::size_type slash = path.find(L'\\', from);
        const std::wstring level = slash == std::wstring::npos ? path : path.substr(0, slash);
        const DWORD attributes = queryFileAttributes(level.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // Another process creating the same folder at the same moment is no failure.
            if (!CreateDirectoryW(level.c_str(), security) && GetLastError() != ERROR_ALREADY_EXISTS) {
                return false;
            }
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // A junction here could send the log (written with administrator rights) anywhere.
            if (!RemoveDirectoryW(level.c_str()) || !CreateDirectoryW(level.c_str(), security)) {
                return false;
            }
        }
        if (slash == std::wstring::npos) {
            return true;
        }
        from = slash + 1;
    }
}

bool Path::move(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void Path::remove(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) {
        return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

Path::~Path() = default;

} // namespace FileSystem
} // namespace OvKmfLogging
