// Removal of a folder with everything in it.
#pragma once

#include <string>

namespace ov {

// Deletes the folder and its contents, clearing read-only attributes on the way; never
// enters a reparse point (only the link goes). Goes on after a failure so that as much as
// possible goes; with delayIfLocked, what cannot be deleted now is scheduled for deletion
// at restart. True when everything was deleted or scheduled; false for a path that is not
// a folder (nothing deleted). A text holding a NUL names the folder before it.
bool removeDirectoryTree(const std::wstring& folder, bool delayIfLocked);

} // namespace ov
