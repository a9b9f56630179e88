// Rules for Windows paths as plain text: the backslash is the only separator and folders are
// held without a trailing backslash. No system calls, so they build and fuzz on any platform.
#pragma once

#include <string>

namespace ov {

// The folder and the name joined by exactly one inserted backslash (none when the folder
// already ends in one). An empty folder gives the name; an empty name gives the folder
// without its trailing backslash. A name starting with a backslash is kept as it is.
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);

// Splits at the last backslash, after dropping one trailing backslash. A path without a
// backslash is a file name in an empty folder. False, with the outputs untouched, for an empty
// path and for a path whose last backslash is its first or last character.
bool splitPath(const std::wstring& path, std::wstring& folder, std::wstring& fileName);

// The path without its one trailing backslash, if it has one.
std::wstring stripTrailingBackslash(const std::wstring& path);

} // namespace ov
