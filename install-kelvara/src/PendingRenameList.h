// The list of file operations Windows carries out at the next restart (the value
// PendingFileRenameOperations) as UTF-16 units, and the rule that drops the operations touching
// one folder. Pure text rules without system calls, so they build and fuzz on any platform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One operation of the list: a source path and a destination path (empty: delete the source).
struct PendingRenamePair {
    std::u16string source;      // up to its NUL
    std::u16string destination; // up to its NUL, or to the end of the data
    std::size_t begin = 0;      // the pair's units in the input: [begin, end)
    std::size_t end = 0;
    bool dropped = false; // the pair touches the folder
};

struct PendingRenameFilter {
    std::vector<PendingRenamePair> pairs; // every pair in list order, with its decision
    // The kept pairs unit for unit, then the list-ending NUL (which also ends a last destination
    // that ran to the end of the data without its own NUL).
    std::vector<char16_t> kept;
    bool anyDropped = false;
};

// Splits count units into pairs and drops every pair whose source or destination contains folder
// (which ends with a backslash), or equals its device-path form "\??\folder-without-backslash".
// Comparisons are case-sensitive. Unit 0 is never taken as the end of a string, a string that runs
// to the end of the data ends there, and an empty string where a source is due is a source like any
// other (the scan goes on to the end of the data); nothing beyond count is read.
PendingRenameFilter filterPendingRenames(const char16_t* units, std::size_t count,
                                         const std::u16string& folder);
