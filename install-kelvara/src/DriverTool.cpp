#include "DriverTool.h"

#include "Wow64.h"

#include <install-common/Customization.h>
#include <install-common/ExecuteApplication.h>
#include <ov/PathRules.h>
#include <ov/Str.h>

DriverTool::DriverTool(const std::wstring& versionFolder)
    : folder_(versionFolder),
      path_(ov::joinPath(versionFolder, IsWow64() ? L"\\x64\\drivertool64.exe" : L"\\drivertool32.exe")) {}

unsigned long DriverTool::run(const char* operation, const std::string& driverName) const {
    return ExecuteApplication::executeUtility(path_, driverToolArguments(operation, driverName), folder_);
}

std::wstring driverToolArguments(const char* operation, const std::string& driverName) {
    return ov::str::utf8ToWide(std::string(operation) + " " + OVVpnCustomization::getSdkCompanyName() + " " +
                               OVVpnCustomization::getSdkProductName() + " " + driverName);
}
