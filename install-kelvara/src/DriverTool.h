// The driver tool of one installed version: the x64 build on 64-bit Windows, the 32-bit build
// otherwise, run from the version's folder with "<operation> <company> <product> <driver>".
#pragma once

#include <string>

class DriverTool {
public:
    // The tool of the version installed in versionFolder.
    explicit DriverTool(const std::wstring& versionFolder);

    // Runs the tool on one driver in the version folder and waits for its exit code; throws a
    // standard exception when the tool cannot be started.
    unsigned long run(const char* operation, const std::string& driverName) const;

    const std::wstring& path() const { return path_; }

private:
    std::wstring folder_;
    std::wstring path_;
};

// The argument text: operation, the customization's company and product names, the driver name,
// separated by single blanks (an empty driver name leaves the trailing blank).
std::wstring driverToolArguments(const char* operation, const std::string& driverName);
