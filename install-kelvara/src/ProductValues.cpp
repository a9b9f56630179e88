// Sequence step: the values that describe this version to Windows and to the product's other
// components.
#include "InstallationSteps.h"
#include "InterruptedUpgrade.h"
#include "ProductLayout.h"

#include <logging/LogSettings.h>

namespace {

const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";
const wchar_t kServiceDisplayName[] = L"Orvanta Kelvara Service";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const DWORD kDefaultLogMaxSizeKB = 5000;

} // namespace

void writeProductValues(InstallationRun& run) {
    ov::Win32Registry& registry = run.registry;
    const std::wstring serviceKey = kServicesKey + std::wstring(product::kServiceName);
    // Written into the service's key only: the service manager registered the key name as display name.
    registry.createKeyPath(serviceKey);
    registry.writeString(serviceKey, L"DisplayName", kServiceDisplayName);
    registry.writeString(serviceKey, L"Description", kServiceDisplayName);

    registry.createKeyPath(product::kProductKey);
    registry.writeString(product::kProductKey, L"InstallationRootDirectory", run.installationRoot);
    recordUpgradeUnderWay(run);
    registry.writeString(product::kProductKey, L"AppPath", run.moduleFolder);
    registry.writeString(product::kProductKey, L"ProductName", run.applicationName);

    // Older versions started the client through the Run key; the client now starts itself.
    if (registry.valueType(kRunKey, L"KelvaraAutoStart") != REG_NONE) {
        const bool removed = registry.deleteValue(kRunKey, L"KelvaraAutoStart");
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Remove KelvaraAutoStart registry succeeded:%d",
                        removed ? 1 : 0);
    }

    // The logging configuration lives in the 32-bit view; a limit someone set stays as it is.
    registry.setViewFlags(KEY_WOW64_32KEY);
    registry.createKeyPath(OvKmfLogging::kLoggingKey);
    if (registry.valueType(OvKmfLogging::kLoggingKey, L"LogMaxSizeKB") == REG_NONE) {
        registry.writeDword(OvKmfLogging::kLoggingKey, L"LogMaxSizeKB", kDefaultLogMaxSizeKB);
    }
    registry.setViewFlags(0);
}
