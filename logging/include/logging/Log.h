// The process-wide log: free functions over the one logger instance, and the log call.
#pragma once

#include <logging/FunctionName.h>
#include <logging/PrintfFormat.h>

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

// The function a record names. Its own type, so that a plain string (a format) is never taken
// for a function name.
struct Caller {
    explicit constexpr Caller(const char* functionName) : name(functionName) {}
    const char* name;
};

void write(int level, const wchar_t* format, ...);
void write(int level, Caller caller, const wchar_t* format, ...);
void write(int level, const char* format, ...) OV_KMF_PRINTF_FORMAT(2, 3);
void write(int level, Caller caller, const char* format, ...) OV_KMF_PRINTF_FORMAT(3, 4);

bool isEnabled(int level);
void close();
void flush();

} // namespace OvKmfLogging

// OV_KMF_LOG(level, L"format", args...): one record naming the calling function as MSVC's
// __FUNCTION__ does. Wide formats follow the Windows rule: %s and %ls wide, %hs narrow. Narrow
// formats are checked by g++ (there %s is narrow, %ls wide).
#if defined(_MSC_VER)
#define OV_KMF_LOG(level, ...) OV_KMF_LOG_AS((level), __FUNCTION__, __VA_ARGS__)
#else
#define OV_KMF_LOG(level, ...)                                                                               \
    do {                                                                                                     \
        OV_KMF_FUNCTION_NAME_DECL;                                                                           \
        OV_KMF_LOG_AS((level), OV_KMF_FUNCTION_NAME_EXPR, __VA_ARGS__);                                      \
    } while (0)
#endif

// OV_KMF_LOG_AS(level, "Class::method", L"format", args...): one record under the name given, for
// code that logs on behalf of another function (the steps of a sequence under the sequence's name).
#define OV_KMF_LOG_AS(level, functionName, ...)                                                              \
    ::OvKmfLogging::write((level), ::OvKmfLogging::Caller(functionName), __VA_ARGS__)
