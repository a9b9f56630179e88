#include <logging/FileContext.h>

#include "ProcessToken.h"

#include <logging/Log.h>
#include <logging/LogPaths.h>
#include <logging/LogTrust.h>
#include <logging/LogSettings.h>

#include <aclapi.h>

#include <utility>

namespace OvKmfLogging {

namespace {

const DWORD kLockWaitMs = 500;
const DWORD kDefaultMaxSizeKB = 50;
const int kGenerations = 2;

// Releases the cross-process lock on every way out of a write.
class LockRelease {
public:
    explicit LockRelease(HANDLE lock) : lock_(lock) {}
    ~LockRelease() { ReleaseMutex(lock_); }
    LockRelease(const LockRelease&) = delete;
    LockRelease& operator=(const LockRelease&) = delete;

private:
    HANDLE lock_;
};

bool acquire(HANDLE lock) {
    const DWORD result = WaitForSingleObject(lock, kLockWaitMs);
    // An abandoned lock is ours now; its former owner died, possibly mid-record.
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

} // namespace

FileContext::FileContext(std::unique_ptr<FileSystem::Path> path, std::wstring nameSpace, std::wstring product,
                         std::wstring logName, int level, unsigned flags)
    : FileContextBase(std::move(path), std::move(nameSpace), std::move(product), std::move(logName), flags),
      defaultLevel_(level), logFile_(path_->createFile()) {}

FileContext::~FileContext() {
    lockHandle_.reset();
    logFile_.reset();
}

bool FileContext::refresh() {
    maxSizeBytes_ = readLoggingSetting(product_, logName_, L"LogMaxSizeKB", kDefaultMaxSizeKB) << 10;
    if (!FileContextBase::refresh()) {
        return false;
    }
    if (!basePath_.empty()) {
        const std::wstring name = (flags_ & PrivateLock) != 0 ? std::wstring() : lockName(isLowIntegrity_);
        createLock(name.empty() ? nullptr : name.c_str());
    }
    return true;
}

void FileContext::write(const char* bytes, std::size_t length) {
    if (!lockHandle_ || !acquire(lockHandle_.get())) {
        return;
    }
    const LockRelease release(lockHandle_.get());
    prepareForWrite();
    logFile_->write(bytes, length);
}

void FileContext::flush() {
    if (!lockHandle_ || !acquire(lockHandle_.get())) {
        return;
    }
    const LockRelease release(lockHandle_.get());
    logFile_->flush();
}

int FileContext::logLevel() {
    return static_cast<int>(
        readLoggingSetting(product_, logName_, L"LogLevel", static_cast<DWORD>(defaultLevel_)));
}

bool FileContext::debugOutput() {
    return readLoggingSetting(product_, logName_, L"DebugOutputLogging", 0) != 0;
}

void FileContext::prepareForWrite() {
    if (logFile_->isOpen()) {
        // Other processes may have written since our last record: append after them.
        if (logFile_->seekToEnd() < maxSizeBytes_) {
            return;
        }
        logFile_->close();
    }
    if (basePath_.empty()) {
        return;
    }
    const std::wstring current = fileName(0);
    if (!logFile_->open(current, folderSecurity_.get())) {
        // Hard-linked or not openable: start a fresh file in its place.
        rotate(kGenerations);
        if (logFile_->open(current, folderSecurity_.get())) {
            logFile_->seekToEnd();
        }
        return;
    }
    if (!logFile_->isUtf8() || maxSizeBytes_ <= logFile_->seekToEnd()) {
        logFile_->close();
        rotate(kGenerations);
        if (logFile_->open(current, folderSecurity_.get())) {
            // Normally a new, empty file; if the old one could not be moved, never overwrite it.
            logFile_->seekToEnd();
        }
    }
}

void FileContext::removeFile(const std::wstring& path) {
    // A file in use cannot be deleted at once; under another name it no longer blocks a new
    // file of the same name.
    const std::wstring aside = path + L"__delete_" + std::to_wstring(GetTickCount64());
    if (path_->move(path, aside)) {
        path_->remove(aside);
    } else {
        path_->remove(path);
    }
}

std::wstring FileContext::lockName(bool isLowIntegrity) const {
    return lockNameFor(basePath_, isLowIntegrity);
}

void FileContext::createLock(const wchar_t* name) {
    SecurityAttributesPtr security;
    if (isAdmin_ && name != nullptr) {
        // Normal processes may wait on an administrator's lock but not take it over.
        security = createSecurityAttributes(kLockSddl);
    }
    ov::ScopedHandle lock(CreateMutexW(security.get(), FALSE, name));
    bool foundExisting = lock && GetLastError() == ERROR_ALREADY_EXISTS;
    if (!lock && name != nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        lock.reset(OpenMutexW(SYNCHRONIZE, FALSE, name));
        foundExisting = true;
    }
    if (name != nullptr && (!lock || (foundExisting && !lockIsTrusted(lock.get())))) {
        // Any user may take the name first: as another kind of object (creation fails with
        // ERROR_INVALID_HANDLE), as a mutex we may not use, or as a mutex held for ever. Only a
        // lock of the system, the administrators or our own account is waited for; otherwise a
        // lock of our own keeps the log written, ordering this process's writers only.
        lock.reset(CreateMutexW(nullptr, FALSE, nullptr));
    }
    lockHandle_ = std::move(lock);
}

bool FileContext::lockIsTrusted(HANDLE lock) const {
    // A handle opened for waiting only cannot read the owner: such a lock is not trusted.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(lock, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const ov::ScopedLocalMemory descriptorOwner(descriptor);
    const std::vector<ov::Sid> own = ownAccountSids();
    return hasTrustedOwner(descriptor, sidPointers(own));
}

} // namespace OvKmfLogging
