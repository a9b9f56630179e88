// Comparing paths as Windows compares file names.
#pragma once

#include <string>

namespace ov {

// True when the two texts name the same path for Windows: letter case does not matter (the file
// system's own upper-casing, not the user's locale), nor does one trailing backslash. Nothing on
// disk is looked at, so links and short names are not resolved.
bool isSamePath(const std::wstring& left, const std::wstring& right);

} // namespace ov
