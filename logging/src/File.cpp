#include <logging/FileSystem.h>
#include <logging/LogTrust.h>

namespace OvKmfLogging {
namespace FileSystem {

File::~File() {
    close();
}

bool File::open(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
    if (isOpen()) {
        return true;
    }
    isUtf8_ = true;
    // Full sharing: other processes log to, read, rotate and delete the same file.
    handle_.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!validate()) {
        close();
        return false;
    }
    return true;
}

void File::close() {
    handle_.reset();
}

bool File::write(const void* bytes, std::size_t length) {
    if (!isOpen() || length > MAXDWORD) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(handle_.get(), bytes, static_cast<DWORD>(length), &written, nullptr) &&
           written == length;
}

std::uint64_t File::seekToEnd() {
    LARGE_INTEGER zero = {};
    LARGE_INTEGER end = {};
    if (!isOpen() || !SetFilePointerEx(handle_.get(), zero, &end, FILE_END)) {
        return 0;
    }
    return static_cast<std::uint64_t>(end.QuadPart);
}

void File::flush() {
    if (isOpen()) {
        FlushFileBuffers(handle_.get());
    }
}

bool File::isOpen() const {
    return handle_.valid();
}

bool File::isUtf8() const {
    return isUtf8_;
}

bool File::validate() {
    if (!isOpen()) {
        return false;
    }
    // Opened as a link itself, never through it: a link or a second name is refused.
    BY_HANDLE_FILE_INFORMATION information = {};
    if (GetFileInformationByHandle(handle_.get(), &information) &&
        !isPlainLogFile(information.dwFileAttributes, information.nNumberOfLinks)) {
        return false;
    }
    LARGE_INTEGER zero = {};
    SetFilePointerEx(handle_.get(), zero, nullptr, FILE_BEGIN);
    unsigned char mark[2] = {};
    DWORD read = 0;
    if (ReadFile(handle_.get(), mark, sizeof(mark), &read, nullptr) && read == sizeof(mark) &&
        mark[0] == 0xFF && mark[1] == 0xFE) {
        isUtf8_ = false;
    }
    return true;
}

} // namespace FileSystem
} // namespace OvKmfLogging
