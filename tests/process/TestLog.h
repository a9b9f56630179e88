// The process-wide log of a test program, opened at the most detailed level, and the records
// that this process wrote to it since a mark: what the code under test logged, line by line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovtest {

class TestLog {
public:
    // Opens the logger for product "KelvaraTests" and the given log name, with a size limit
    // large enough that the file never rotates during a test run.
    explicit TestLog(const wchar_t* logName);
    ~TestLog();
    TestLog(const TestLog&) = delete;
    TestLog& operator=(const TestLog&) = delete;

    // The current end of the file: records after it belong to what a test does next.
    std::uint64_t mark() const;

    // This process's records after the mark, each as "<label>: <function>: <message>"
    // (the label is two characters, e.g. " D" or ".W"), without time, ids and line end.
    std::vector<std::string> recordsSince(std::uint64_t mark) const;

    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

} // namespace ovtest
