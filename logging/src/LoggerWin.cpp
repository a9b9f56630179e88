#include <logging/LoggerWin.h>

#include <logging/FileContext.h>
#include <logging/Log.h>
#include <logging/RecordFormat.h>
#include <ov/LastError.h>
#include <ov/Str.h>

#include <cstdio>
#include <cwchar>
#include <string>

// Logging never fails towards its caller: every public operation keeps the caller's last-error
// code and swallows what goes wrong (the catch blocks below are empty on purpose).

namespace OvKmfLogging {

namespace {

const std::size_t kFirstBufferSize = 2048;
const std::size_t kLargeBufferSize = 65536;
const std::uint64_t kConfigRefreshIntervalMs = 60000;

// The Windows runtime's formatting, so that %s in a wide format takes a wide string even
// where the C library follows C99.
int formatWithRuntime(wchar_t* buffer, std::size_t size, const wchar_t* format, va_list args) {
    return _vsnwprintf(buffer, size, format, args);
}
int formatWithRuntime(char* buffer, std::size_t size, const char* format, va_list args) {
    return _vsnprintf(buffer, size, format, args);
}

// The formatted length, or -1 when the text does not fit with its terminator.
template <typename Char>
int formatInto(Char* buffer, std::size_t size, const Char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = formatWithRuntime(buffer, size, format, copy);
    va_end(copy);
    return (length < 0 || static_cast<std::size_t>(length) >= size) ? -1 : length;
}

// The failure record names the offending format in its own width.
const char* tooLargeMessageFormat(const wchar_t*) {
    return "OV_KMF_LOG failure: too large message. Format: %ls";
}
const char* tooLargeMessageFormat(const char*) {
    return "OV_KMF_LOG failure: too large message. Format: %hs";
}

// Records are UTF-8: a wide message is converted, a narrow one is taken as it is. Unlike
// ov::str::wideToUtf8, the conversion writes straight into the record: no copies of the message.
std::size_t utf8Length(const char*, int length) {
    return static_cast<std::size_t>(length);
}
std::size_t utf8Length(const wchar_t* text, int length) {
    const int size =
        length > 0 ? WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr) : 0;
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}
void appendUtf8(std::string& record, const char* text, int length, std::size_t) {
    record.append(text, static_cast<std::size_t>(length));
}
void appendUtf8(std::string& record, const wchar_t* text, int length, std::size_t utf8Size) {
    if (utf8Size == 0) {
        return; // nothing to convert, or the conversion failed: an empty message
    }
    const std::size_t at = record.size();
    record.resize(at + utf8Size);
    if (WideCharToMultiByte(CP_UTF8, 0, text, length, &record[at], static_cast<int>(utf8Size), nullptr,
                            nullptr) == 0) {
        record.resize(at);
    }
}

std::wstring textOf(const wchar_t* text) {
    return text != nullptr ? std::wstring(text) : std::wstring();
}

std::wstring textOf(const char* utf8) {
    return utf8 != nullptr ? ov::str::utf8ToWide(utf8) : std::wstring();
}

} // namespace

LoggerWin::LoggerWin() = default;

LoggerWin::~LoggerWin() {
    const ov::LastErrorKeeper keeper;
    try {
        log(bannerLevel(flags_), "***  LOG AUTO-CLOSED ***");
        std::lock_guard<std::mutex> guard(lock_);
        fileContext_.reset();
    } catch (...) {
        // Process exit: nothing left to tell.
    }
}

void LoggerWin::open(const char* nameSpace, const char* product, const char* logName, int level,
                     unsigned flags) {
    const ov::LastErrorKeeper keeper;
    try {
        open(textOf(nameSpace).c_str(), textOf(product).c_str(), textOf(logName).c_str(), level, flags);
    } catch (...) {
    }
}

void LoggerWin::open(const wchar_t* nameSpace, const wchar_t* product, const wchar_t* logName, int level,
                     unsigned flags) {
    const ov::LastErrorKeeper keeper;
    try {
        std::unique_lock<std::mutex> lock(lock_);
        if (fileContext_) {
            return;
        }
        flags_ = flags;
        fileContext_ = createFileContext(nameSpace, product, logName, level, flags);
        if ((flags & LogEverything) != 0) {
            // The registry is first read at the first record.
            setThreshold(Verbose);
            debugOutput_ = false;
        } else {
            setThreshold(level);
            refreshConfiguration(lock);
        }
    } catch (...) {
    }
}

void LoggerWin::close() {
    const ov::LastErrorKeeper keeper;
    try {
        log(bannerLevel(flags_), "***  LOGGING ENDED  ***");
        std::lock_guard<std::mutex> guard(lock_);
        fileContext_.reset();
    } catch (...) {
    }
    lastConfigRefresh_ = 0;
}

void LoggerWin::flush() {
    const ov::LastErrorKeeper keeper;
    try {
        std::lock_guard<std::mutex> guard(lock_);
        if (fileContext_) {
            fileContext_->flush();
        }
    } catch (...) {
    }
}

void LoggerWin::logV(int level, const char* functionName, const wchar_t* format, va_list args) {
    logFormatted(level, functionName, format, args);
}

void LoggerWin::logV(int level, const char* functionName, const char* format, va_list args) {
    logFormatted(level, functionName, format, args);
}

template <typename Char>
void LoggerWin::logFormatted(int level, const char* functionName, const Char* format, va_list args) {
    if (isFiltered(level)) {
        return;
    }
    SYSTEMTIME time;
    if ((flags_ & UtcTimestamps) != 0) {
        GetSystemTime(&time);
    } else {
        GetLocalTime(&time);
    }
    const ov::LastErrorKeeper keeper;
    try {
        Char buffer[kFirstBufferSize];
        const Char* text = buffer;
        int length = formatInto(buffer, kFirstBufferSize, format, args);
        std::basic_string<Char> large;
        if (length < 0) {
            large.resize(kLargeBufferSize);
            length = formatInto(&large[0], kLargeBufferSize, format, args);
            if (length < 0) {
                log(Error, tooLargeMessageFormat(format), format);
                return;
            }
            text = large.data();
        }
        const std::size_t messageLength = utf8Length(text, length);
        std::string record = recordStart(time, GetCurrentProcessId(), GetCurrentThreadId(), levelLabel(level),
                                         functionName, messageLength);
        const std::size_t messageStart = record.size();
        appendUtf8(record, text, length, messageLength);
        escapeLineBreaks(record, messageStart);
        emit(record);
    } catch (...) {
    }
}

bool LoggerWin::isFiltered(int level) {
    const std::uint64_t last = lastConfigRefresh_.load(std::memory_order_relaxed);
    if (last == 0 || GetTickCount64() - last > kConfigRefreshIntervalMs) {
        // The refresh reads the registry; the caller's last-error code must survive it.
        const ov::LastErrorKeeper keeper;
        try {
            std::unique_lock<std::mutex> lock(lock_);
            const std::uint64_t again = lastConfigRefresh_.load(std::memory_order_relaxed);
            if (again == 0 || GetTickCount64() - again > kConfigRefreshIntervalMs) {
                refreshConfiguration(lock);
            }
        } catch (...) {
        }
    }
    return Logger::isFiltered(level);
}

std::unique_ptr<FileContext> LoggerWin::createFileContext(const wchar_t* nameSpace, const wchar_t* product,
                                                          const wchar_t* logName, int level, unsigned flags) {
    try {
        return std::make_unique<FileContext>(std::make_unique<FileSystem::Path>(), textOf(nameSpace),
                                             textOf(product), textOf(logName), level, flags);
    } catch (...) {
        return nullptr;
    }
}

void LoggerWin::refreshConfiguration(std::unique_lock<std::mutex>& lock) {
    bool firstRefresh = false;
    if (fileContext_) {
        firstRefresh = fileContext_->refresh();
        debugOutput_ = fileContext_->debugOutput();
        setThreshold(fileContext_->logLevel());
    }
    lastConfigRefresh_ = GetTickCount64();
    if (firstRefresh) {
        // Writing the banner takes the lock again, and it is not recursive.
        lock.unlock();
        writeStartBanner();
        lock.lock();
    }
}

void LoggerWin::writeStartBanner() {
    const int level = bannerLevel(flags_);
    if (!isEnabled(level)) {
        return;
    }
    DWORD session = 0xDEADBEEF;
    DWORD currentSession = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &currentSession)) {
        session = currentSession;
    }
    TIME_ZONE_INFORMATION zone = {};
    const int offset = localOffsetMinutes(GetTimeZoneInformation(&zone), zone);
    {
        // An empty line sets each run apart in a file that several runs share.
        std::lock_guard<std::mutex> guard(lock_);
        if (fileContext_) {
            fileContext_->write("\r\n", 2);
        }
    }
    const std::string banner = startBannerText(offset, session, (flags_ & UtcTimestamps) != 0);
    log(level, "%s", banner.c_str());
}

void LoggerWin::emit(std::string& record) {
    record += "\r\n";
    if (debugOutput_) {
        OutputDebugStringA(record.c_str());
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (fileContext_) {
        fileContext_->write(record.data(), record.size());
    }
}

} // namespace OvKmfLogging
