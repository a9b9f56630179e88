#include <logging/FileSystem.h>

#include "ProcessToken.h"

#include <logging/LogTrust.h>
#include <ov/Handle.h>

#include <aclapi.h>

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
    const std::vector<ov::Sid> own = ownAccountSids();
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
        // Made now, made by someone else at the same moment, or there before us: any user may
        // create folders below the root, so each level is judged as it is now.
        if (!holdTrustedLevel(level, sidPointers(own))) {
            return false;
        }
        if (slash == std::wstring::npos) {
            return true;
        }
        from = slash + 1;
    }
}

bool Path::holdTrustedLevel(const std::wstring& level, const std::vector<PSID>& ownAccounts) {
    // Without delete sharing nobody can rename or delete the level while we hold it; opening the
    // reparse point itself, never its target, shows a junction swapped in since the check above.
    ov::ScopedHandle handle(CreateFileW(level.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!handle || !GetFileInformationByHandle(handle.get(), &information) ||
        GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const ov::ScopedLocalMemory descriptorOwner(descriptor);
    // Wine stores no folder ACLs and makes no junctions: it reports the owner and an ACL derived
    // from the Unix mode, so only a world-writable level is refused there (the verdicts of what
    // Windows can report are tested from a table).
    if (judgeLevel(information.dwFileAttributes, descriptor, ownAccounts) != LevelVerdict::Trusted) {
        return false;
    }
    heldLevels_.push_back(std::move(handle));
    return true;
}

bool Path::move(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void Path::remove(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) {
        return;
    }
    // A file that is gone needs nothing. One that a reader holds open is deleted by the next
    // rotation: scheduling it would leave the machine "reboot pending" for every record dropped.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_SHARING_VIOLATION &&
        error != ERROR_LOCK_VIOLATION) {
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

Path::~Path() = default;

} // namespace FileSystem
} // namespace OvKmfLogging
