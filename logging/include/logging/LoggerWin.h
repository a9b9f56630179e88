// The process-wide logger of Windows: formats records, filters them by level, refreshes its
// configuration once a minute and hands each record to its file context.
#pragma once

#include <logging/Logger.h>
#include <ov/Win32.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace OvKmfLogging {

class FileContext;

class LoggerWin : public Logger {
public:
    LoggerWin();
    // Writes the auto-closed banner and closes the file if it is still open.
    ~LoggerWin() override;

    void open(const char* nameSpace, const char* product, const char* logName, int level,
              unsigned flags) override;
    void open(const wchar_t* nameSpace, const wchar_t* product, const wchar_t* logName, int level,
              unsigned flags) override;
    void close() override;
    void flush() override;
    void logV(int level, const char* functionName, const wchar_t* format, va_list args) override;
    void logV(int level, const char* functionName, const char* format, va_list args) override;
    // Also refreshes the configuration when a minute has passed since the last refresh.
    bool isFiltered(int level) override;

    // Creates the file context of an opened log; it touches nothing before its first refresh.
    // Null when it cannot be created: records then reach only the debugger output.
    virtual std::unique_ptr<FileContext> createFileContext(const wchar_t* nameSpace, const wchar_t* product,
                                                           const wchar_t* logName, int level, unsigned flags);

private:
    // Both logV: Char is the width of the caller's format.
    template <typename Char>
    void logFormatted(int level, const char* functionName, const Char* format, va_list args);
    void refreshConfiguration(std::unique_lock<std::mutex>& lock);
    void writeStartBanner();
    // Ends the record and hands it to the debugger output and the file context.
    void emit(std::string& record);

    std::atomic<bool> debugOutput_{false};
    std::atomic<unsigned> flags_{0};
    std::mutex lock_;
    std::unique_ptr<FileContext> fileContext_;
    std::atomic<std::uint64_t> lastConfigRefresh_{0};
};

} // namespace OvKmfLogging
