// The file operations of the log file context, as virtual operations so a test can stand in
// for conditions the test machine cannot produce.
#pragma once

#include <ov/Handle.h>
#include <ov/Win32.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace OvKmfLogging {
namespace FileSystem {

// One log file opened for appending, shared with every other process that logs to it.
class File {
public:
    File() = default;
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens or creates the file with full sharing (new files get the given security) and
    // validates it; false (and closed) when it cannot be opened or is refused.
    virtual bool open(const std::wstring& path, SECURITY_ATTRIBUTES* security);
    virtual void close();
    // Writes at the current position; false when the write failed.
    virtual bool write(const void* bytes, std::size_t length);
    // Moves to the end (after whatever other processes wrote) and returns the size; 0 on failure.
    virtual std::uint64_t seekToEnd();
    virtual void flush();
    virtual bool isOpen() const;
    // False when the file starts with a UTF-16 little-endian byte-order mark.
    virtual bool isUtf8() const;
    // False for a closed file, a reparse point or a file with more than one hard link; notes a
    // UTF-16 mark.
    virtual bool validate();

private:
    bool isUtf8_ = true;
    ov::ScopedHandle handle_; // closed: no handle
};

// Folder and name operations on the log's paths.
class Path {
public:
    Path() = default;
    Path(const Path&) = delete;
    Path& operator=(const Path&) = delete;

    // A new, closed file object.
    virtual std::unique_ptr<File> createFile();
    virtual bool exists(const std::wstring& path);
    // Creates every level of path from the backslash at or after startIndex on; a reparse
    // point on the way is replaced by a real folder. Each level, made now or found, must then
    // pass judgeLevel (LogTrust.h) through a handle that does not follow reparse points; the
    // handles stay open, without delete sharing, as long as this object, so that no level can be
    // renamed or swapped while the log is written. False when a level cannot be made or trusted.
    virtual bool createDirectories(const std::wstring& path, std::size_t startIndex,
                                   SECURITY_ATTRIBUTES* security);
    // Renames, replacing an existing target.
    virtual bool move(const std::wstring& from, const std::wstring& to);
    // Deletes the file; one that cannot be deleted now is deleted at the next restart, unless
    // it is only held open by someone (the next rotation deletes it then).
    virtual void remove(const std::wstring& path);
    virtual ~Path();

private:
    bool holdTrustedLevel(const std::wstring& level, const std::vector<PSID>& ownAccounts);

    std::vector<ov::ScopedHandle> heldLevels_;
};

// GetFileAttributesW for the folder levels of createDirectories. Wine cannot create junctions,
// so tests replace it to report a reparse point; everything else leaves it alone.
using FileAttributesQuery = DWORD(WINAPI*)(LPCWSTR);
extern FileAttributesQuery queryFileAttributes;

} // namespace FileSystem
} // namespace OvKmfLogging
