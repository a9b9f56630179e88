// Helpers of the logging tests: where logs land, registry values that restore themselves, the
// log-writer child and the parts of a record.
#pragma once

#include <ov/Win32.h>

#include <string>
#include <vector>

namespace logtest {

extern const wchar_t kNameSpace[]; // "logtest"

// "Suite.Name.<process id>" of the running test: the product folder a test logs into, apart from
// every other test and from the same test running in another process.
std::wstring testProduct();

std::wstring commonAppData();
std::wstring localAppData();

// The log of one test under the machine root: ...\Orvanta\NS\logtest\Log\<product>\<logName>.log.
// The product folder is removed when the object goes.
class MachineLog {
public:
    MachineLog(std::wstring product, std::wstring logName);
    ~MachineLog();
    MachineLog(const MachineLog&) = delete;
    MachineLog& operator=(const MachineLog&) = delete;

    std::wstring folder() const;
    std::wstring file(int generation = 0) const;
    std::string content() const;
    std::vector<std::string> lines() const; // CR LF removed
    // Each line from its label on ("LL: text"), the start banner without its offsets.
    std::vector<std::string> fromLabels() const;

    const std::wstring product;
    const std::wstring logName;
};

// One value under <hive>\SOFTWARE\Orvanta\KMF\Logging[\subKey] in the 32-bit view, put back as it
// was (or removed) when the object goes, together with the keys it had to create.
class LoggingValue {
public:
    LoggingValue(std::wstring subKey, std::wstring name, HKEY hive = HKEY_LOCAL_MACHINE);
    ~LoggingValue();
    LoggingValue(const LoggingValue&) = delete;
    LoggingValue& operator=(const LoggingValue&) = delete;

    void setDword(DWORD value);
    void setString(const std::wstring& value, DWORD type = REG_SZ);
    void remove();

private:
    void set(DWORD type, const void* data, DWORD size);

    HKEY hive_;
    std::wstring key_;
    std::wstring name_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<unsigned char> data_;
    std::vector<std::wstring> createdKeys_;
};

// Runs log-writer.exe: it logs COUNT records "TAG record I of COUNT <padding>|" under the
// logtest name space and exits; its exit code.
unsigned long runWriter(const std::wstring& product, const std::wstring& logName, int count,
                        const std::wstring& tag, bool asNonAdministrator = false);

// The parts of one record line "YYYY-MM-DD hh:mm:ss.mmm [pid.tid] LL: text"; not valid when the
// line has another form.
struct Record {
    bool valid = false;
    std::string label;
    std::string text; // function prefix and message
};
Record parseRecord(const std::string& line);

// The lines that contain the marker.
std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& marker);

} // namespace logtest
