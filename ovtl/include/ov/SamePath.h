// Comparing paths as Windows compares file names, and folders as the file system knows them.
#pragma once

#include <string>

namespace ov {

// True when the two texts name the same path for Windows: letter case does not matter (the file
// system's own upper-casing, not the user's locale), nor does one trailing backslash. Nothing on
// disk is looked at, so links and short names are not resolved.
bool isSamePath(const std::wstring& left, const std::wstring& right);

// True when both name the same folder on disk: the same volume serial number and file index, so a
// short name, a \\?\ prefix, a doubled backslash or another drive letter leading there all match.
// When either cannot be opened, the texts are compared as isSamePath does.
bool isSameFolder(const std::wstring& left, const std::wstring& right);

// True when inner is folder itself or lies anywhere below it (isSameFolder on each of inner's
// parent folders, up to its drive).
bool folderContains(const std::wstring& folder, const std::wstring& inner);

} // namespace ov
