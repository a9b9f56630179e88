// One log file: its size limit and rotation, its cross-process lock and its settings.
#pragma once

#include <logging/FileContextBase.h>
#include <ov/Handle.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace OvKmfLogging {

class FileContext : public FileContextBase {
public:
    // level: the threshold when the registry configures none.
    FileContext(std::unique_ptr<FileSystem::Path> path, std::wstring nameSpace, std::wstring product,
                std::wstring logName, int level, unsigned flags);
    ~FileContext() override;

    // Re-reads the size limit; the first time also sets up the folder and the lock. True only
    // for that first call, when the folder could be set up.
    bool refresh() override;
    // Appends one record under the cross-process lock; dropped when the lock is not had
    // within 500 ms or the file cannot be opened.
    virtual void write(const char* bytes, std::size_t length);
    virtual void flush();
    // The configured threshold ("LogLevel"), else the level given to open.
    virtual int logLevel();
    // Whether records are mirrored to the debugger ("DebugOutputLogging").
    virtual bool debugOutput();
    // With the lock held: opens the file when needed and rotates it when it is full or unusable.
    virtual void prepareForWrite();
    // Renames the file aside, then deletes it (at the next restart if it is in use).
    virtual void removeFile(const std::wstring& path);
    virtual std::wstring lockName(bool isLowIntegrity) const;

private:
    // The named lock, or a lock of our own when the name is taken by an object we cannot trust.
    void createLock(const wchar_t* name);
    bool lockIsTrusted(HANDLE lock) const;

    int defaultLevel_;
    ov::ScopedHandle lockHandle_;
    std::uint32_t maxSizeBytes_ = 0;
    std::unique_ptr<FileSystem::File> logFile_;
};

} // namespace OvKmfLogging
