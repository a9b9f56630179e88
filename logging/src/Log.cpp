#include <logging/Log.h>

#include <logging/LoggerWin.h>

#include <cstdarg>

namespace OvKmfLogging {

Logger& instance() {
    // Created at first use, destroyed at process exit (writing the auto-closed banner).
    static LoggerWin logger;
    return logger;
}

void open(const wchar_t* product, const wchar_t* logName, int level, unsigned flags) {
    instance().open(static_cast<const wchar_t*>(nullptr), product, logName, level, flags);
}

void open(const wchar_t* nameSpace, const wchar_t* product, const wchar_t* logName, int level,
          unsigned flags) {
    instance().open(nameSpace, product, logName, level, flags);
}

void open(const char* product, const char* logName, int level, unsigned flags) {
    instance().open(static_cast<const char*>(nullptr), product, logName, level, flags);
}

void open(const char* nameSpace, const char* product, const char* logName, int level, unsigned flags) {
    instance().open(nameSpace, product, logName, level, flags);
}

void write(int level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    instance().logV(level, nullptr, format, args);
    va_end(args);
}

void write(int level, Caller caller, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    instance().logV(level, caller.name, format, args);
    va_end(args);
}

void write(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    instance().logV(level, nullptr, format, args);
    va_end(args);
}

void write(int level, Caller caller, const char* format, ...) {
    va_list args;
    va_start(args, format);
    instance().logV(level, caller.name, format, args);
    va_end(args);
}

bool isEnabled(int level) {
    return instance().isEnabled(level);
}

void close() {
    instance().close();
}

void flush() {
    instance().flush();
}

} // namespace OvKmfLogging
