// The test program's own log, opened at the most detailed level on first use and named after
// the program, and the records this process wrote to it after a mark: what the code under test
// logged, line by line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovtest {

class LogMark {
public:
    // Marks the current end of the log (its start with fromStart: the whole run so far, as the
    // file is emptied when the log opens).
    explicit LogMark(bool fromStart = false);

    // This process's records after the mark, each as "<label>: <function>: <message>" (the label
    // is two characters, e.g. " D" or ".W"), without time, ids and line end.
    std::vector<std::string> records() const;
    // Those records that contain the text.
    std::vector<std::string> matching(const std::string& text) const;
    bool contains(const std::string& text) const { return !matching(text).empty(); }

private:
    std::uint64_t mark_;
};

} // namespace ovtest
