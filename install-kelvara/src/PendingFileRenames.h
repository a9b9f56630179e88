// Dropping restart-time file operations that concern the folder just installed into.
#pragma once

#include <string>

// Removes from PendingFileRenameOperations every operation whose source or destination lies in
// folder, which must end with a backslash. The value is rewritten only when something was dropped;
// every outcome is logged, nothing is reported to the caller.
void removePendingFileOperationsInFolder(const std::wstring& folder);
