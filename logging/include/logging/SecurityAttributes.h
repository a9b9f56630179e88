// Security attributes built from SDDL text, for the log folder, its files and its lock.
#pragma once

#include <ov/Win32.h>

#include <memory>

namespace OvKmfLogging {

// Folder and file access: SYSTEM and Administrators full, authenticated users read, inherited.
// Protected: nothing is inherited from the root, where any user may create folders.
extern const char kSharedFolderSddl[];
// The same without the read entry and without inheritance.
extern const char kPrivateFolderSddl[];
// The named lock's access: SYSTEM and Administrators.
extern const char kLockSddl[];

struct SecurityAttributesDeleter {
    void operator()(SECURITY_ATTRIBUTES* attributes) const noexcept;
};
using SecurityAttributesPtr = std::unique_ptr<SECURITY_ATTRIBUTES, SecurityAttributesDeleter>;

// Attributes on the process heap, handles not inherited. When the text cannot be converted
// the descriptor stays null, which means default security. Null only when out of memory.
SecurityAttributesPtr createSecurityAttributes(const char* sddl);

} // namespace OvKmfLogging
