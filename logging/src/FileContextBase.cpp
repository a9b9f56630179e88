#include <logging/FileContextBase.h>

#include "ProcessToken.h"

#include <ov/ProcessUser.h>

#include <logging/Log.h>
#include <logging/LogPaths.h>
#include <logging/LogSettings.h>

#include <utility>

namespace OvKmfLogging {

FileContextBase::FileContextBase(std::unique_ptr<FileSystem::Path> path, std::wstring nameSpace,
                                 std::wstring product, std::wstring logName, unsigned flags)
    : path_(std::move(path)), nameSpace_(std::move(nameSpace)), product_(std::move(product)),
      logName_(std::move(logName)), flags_(flags) {}

FileContextBase::~FileContextBase() = default;

bool FileContextBase::refresh() {
    if (initialized_) {
        return false;
    }
    isAdmin_ = ov::isAdmin(nullptr);
    LogRootKind kind = LogRootKind::Machine;
    if (isAdmin_) {
        folderSecurity_ = createSecurityAttributes((flags_ & PrivateDirectory) != 0 ? kPrivateFolderSddl
                                                                                    : kSharedFolderSddl);
    } else {
        isLowIntegrity_ = isLowIntegrityProcess();
        kind = isLowIntegrity_ ? LogRootKind::LowIntegrity : LogRootKind::User;
    }
    initialized_ = true;
    return buildPaths(logRoot(kind), isAdmin_);
}

void FileContextBase::rotate(int generations) {
    path_->remove(fileName(generations));
    for (int generation = generations - 1; generation >= 0; --generation) {
        const std::wstring from = fileName(generation);
        if (path_->exists(from)) {
            path_->move(from, fileName(generation + 1));
        }
    }
}

bool FileContextBase::buildPaths(const std::wstring& root, bool isAdmin) {
    // Without a root the folder would land at the root of the current drive; such a process
    // (low integrity without a LocalLow folder) does not log at all.
    const std::wstring folder = logFolder(root, nameSpace_, product_);
    if (root.empty() || !path_->createDirectories(folder, root.size() + 1, folderSecurity_.get())) {
        basePath_.clear();
        return false;
    }
    basePath_ = folder + L"\\" + logName_;
    if (isAdmin && (flags_ & PerUserFileName) != 0) {
        // Elevated processes of different users share the machine folder.
        basePath_ += L"." + processUserSidText();
    }
    return true;
}

std::wstring FileContextBase::fileName(int generation) const {
    return generationFileName(basePath_, generation);
}

} // namespace OvKmfLogging
