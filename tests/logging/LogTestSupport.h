// Helpers of the logging tests: where logs land, registry settings that restore themselves,
// the log-writer child and the parts of a record.
#pragma once

#include <logging/Logger.h>
#include <ov/Win32.h>

#include <string>
#include <vector>

namespace logtest {

// "Suite.Name" of the running test: the product folder a test logs into.
std::wstring currentTestName();

// One record through the logger's wide or narrow logV, as the log call passes it.
void record(OvKmfLogging::Logger& logger, int level, const char* functionName, const wchar_t* format, ...);
void recordNarrow(OvKmfLogging::Logger& logger, int level, const char* functionName, const char* format, ...);

// What a record shows between its label and its message for a function name.
std::string functionPrefixOf(const char* functionName);

std::wstring commonAppData();
std::wstring localAppData();

// The log of one test under the machine root: ...\Orvanta\NS\<nameSpace>\Log\<product>\<logName>.log.
// The product folder is removed when the object goes.
class MachineLog {
public:
    MachineLog(std::wstring nameSpace, std::wstring product, std::wstring logName);
    ~MachineLog();
    MachineLog(const MachineLog&) = delete;
    MachineLog& operator=(const MachineLog&) = delete;

    std::wstring folder() const;
    std::wstring file(int generation = 0) const;
    std::string content() const;
    std::vector<std::string> lines() const; // CR LF removed

    const std::wstring nameSpace;
    const std::wstring product;
    const std::wstring logName;
};

// One value under HKLM\SOFTWARE\Orvanta\KMF\Logging[\subKey] in the 32-bit view, put back as it
// was (or removed) when the object goes. Keys below the Logging key that it had to create go too.
class LoggingValue {
public:
    LoggingValue(std::wstring subKey, std::wstring name);
    ~LoggingValue();
    LoggingValue(const LoggingValue&) = delete;
    LoggingValue& operator=(const LoggingValue&) = delete;

    void setDword(DWORD value);
    void setString(const std::wstring& value);
    void remove();

private:
    void set(DWORD type, const void* data, DWORD size);

    std::wstring key_;
    std::wstring name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<unsigned char> data_;
    std::vector<std::wstring> createdKeys_;
};

// log-writer.exe beside the test executable.
std::wstring writerExe();

// The parts of one record line "date time [pid.tid] LL: rest".
struct Record {
    bool valid = false;
    std::string date;
    std::string time;
    unsigned long processId = 0;
    unsigned long threadId = 0;
    std::string label;
    std::string text; // function prefix and message
};
Record parseRecord(const std::string& line);

// The records whose text contains the marker.
std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& marker);

} // namespace logtest
