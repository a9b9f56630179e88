#include <logging/Logger.h>

#include <logging/Log.h>
#include <logging/RecordFormat.h>

namespace OvKmfLogging {

Logger::~Logger() = default;

bool Logger::isEnabled(int level) {
    return !isFiltered(level);
}

bool Logger::isFiltered(int level) {
    return level > threshold();
}

const char* Logger::levelLabel(int level) {
    return labelOfLevel(level);
}

int Logger::bannerLevel(unsigned flags) {
    return (flags & BannersAtDebug) != 0 ? Debug : Info;
}

void Logger::log(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    logV(level, nullptr, format, args);
    va_end(args);
}

void Logger::log(int level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    logV(level, nullptr, format, args);
    va_end(args);
}

} // namespace OvKmfLogging
