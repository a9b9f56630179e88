// Conversions between wide (UTF-16) and narrow strings.
#pragma once

#include <string>

namespace ov {
namespace str {

// Narrow text in the given code page (0: the system ANSI code page), without a NUL.
// Throws ov::BaseException for a text too long to convert, ov::Win32Exception when the system fails.
std::string toMultibyte(const std::wstring& text, unsigned codePage);

// The non-throwing conversions: an empty result when the system conversion fails.
std::wstring multiByteToWide(const std::string& text, unsigned codePage);
std::wstring utf8ToWide(const std::string& text);
std::string wideToMultiByte(const std::wstring& text, unsigned codePage);
std::string wideToUtf8(const std::wstring& text);

// Replaces %NAME% references with the variables' values; references to undefined variables
// stay. The text becomes empty when the expansion fails.
void expandEnvironmentStrings(std::wstring& text);

} // namespace str
} // namespace ov
