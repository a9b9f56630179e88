// The process-wide log: free functions over the one logger instance, and the log call.
#pragma once

#include <logging/FunctionName.h>

namespace OvKmfLogging {

class Logger;

enum LogLevel : int {
    Fatal = 1,
    Error = 2,
    Warning = 3,
    Info = 4,
    Debug = 5,
    Verbose = 6,
};

enum OpenFlags : unsigned {
    PrivateLock = 0x1,      // unnamed mutex instead of the cross-process one
    BannersAtDebug = 0x2,   // start and end banners at level 5
    LogEverything = 0x4,    // threshold 6 at open, configuration read at the first record
    PerUserFileName = 0x8,  // administrators: the user's SID in the file name
    UtcTimestamps = 0x10,   // UTC record times
    PrivateDirectory = 0x20 // no read access for authenticated users on the folder
};

Logger& instance();

void open(const wchar_t* product, const wchar_t* logName, int level, unsigned flags);
void open(const wchar_t* nameSpace, const wchar_t* product, const wchar_t* logName, int level,
          unsigned flags);
void open(const char* product, const char* logName, int level, unsigned flags);
void open(const char* nameSpace, const char* product, const char* logName, int level, unsigned flags);

void write(int level, const wchar_t* format, ...);
void write(int level, const char* functionName, const wchar_t* format, ...);
void write(int level, const char* format, ...);
void write(int level, const char* functionName, const char* format, ...);

bool isEnabled(int level);
void close();
void flush();

} // namespace OvKmfLogging

// OV_KMF_LOG(level, L"format", args...): one record naming the calling function as MSVC's
// __FUNCTION__ does. Wide formats follow the Windows rule: %s and %ls wide, %hs narrow.
#if defined(_MSC_VER)
#define OV_KMF_LOG(level, ...) ::OvKmfLogging::write((level), __FUNCTION__, __VA_ARGS__)
#else
#define OV_KMF_LOG(level, ...)                                                                               \
    do {                                                                                                     \
        OV_KMF_FUNCTION_NAME_DECL;                                                                           \
        ::OvKmfLogging::write((level), OV_KMF_FUNCTION_NAME_EXPR, __VA_ARGS__);                              \
    } while (0)
#endif
