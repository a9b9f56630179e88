// The product's entry in the system's list of installed programs (Add/Remove Programs).
#pragma once

#include <string>

class UninstallationEntries {
public:
    // Creates or updates the product's uninstall key with publisher, uninstaller (also shown as
    // the icon), display name and version. Each failed step is logged and the next one is still
    // done; the result is always true.
    static bool Install(const std::wstring& displayName, const std::wstring& uninstallerPath);
};
