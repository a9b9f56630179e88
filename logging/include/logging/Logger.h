// The level logic every logger shares; LoggerWin is the Windows implementation.
#pragma once

#include <logging/PrintfFormat.h>

#include <atomic>
#include <cstdarg>

namespace OvKmfLogging {

class Logger {
public:
    Logger() = default;
    virtual ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Opens the log unless it is open already. Narrow strings are UTF-8; a null name space
    // selects the common log folder.
    virtual void open(const char* nameSpace, const char* product, const char* logName, int level,
                      unsigned flags) = 0;
    virtual void open(const wchar_t* nameSpace, const wchar_t* product, const wchar_t* logName, int level,
                      unsigned flags) = 0;
    // Writes the end banner and closes the file; the log may be opened again.
    virtual void close() = 0;
    virtual void flush() = 0;
    // One record naming functionName (null or empty: no name). Never fails towards the caller
    // and keeps its last-error code. Wide formats: %s and %ls wide, %hs narrow.
    virtual void logV(int level, const char* functionName, const wchar_t* format, va_list args) = 0;
    virtual void logV(int level, const char* functionName, const char* format, va_list args) = 0;

    virtual bool isEnabled(int level);
    // True when a record of this level is dropped by the current threshold.
    virtual bool isFiltered(int level);
    // The two-character label of a level; two blanks for an unknown level.
    virtual const char* levelLabel(int level);
    virtual int bannerLevel(unsigned flags);

    // Records without a function name.
    virtual void log(int level, const char* format, ...) OV_KMF_PRINTF_FORMAT(3, 4);
    virtual void log(int level, const wchar_t* format, ...);

protected:
    int threshold() const { return threshold_.load(); }
    void setThreshold(int level) { threshold_.store(level); }

private:
    std::atomic<int> threshold_{0};
};

} // namespace OvKmfLogging
