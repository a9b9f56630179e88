// Sequence step: upgrade detection, and the removal of what the earlier version runs: its network
// drivers (with its own driver tool), its client and tunnel processes, two values of its client.
#include "DriverTool.h"
#include "InstallationSteps.h"
#include "InterruptedUpgrade.h"
#include "ProductLayout.h"

#include <install-common/Customization.h>
#include <install-common/ExecuteApplication.h>
#include <ov/SamePath.h>

#include <exception>
#include <stdexcept>

FolderUse earlierFolderUse(const std::wstring& folder) {
    // The text first: a UNC or device path is never touched, not even to read its attributes.
    const FolderUse byText = judgeRegistryFolder(folder, false);
    if (byText != FolderUse::Usable) {
        return byText;
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return judgeRegistryFolder(folder, attributes != INVALID_FILE_ATTRIBUTES &&
                                           (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
}

void detectUpgrade(InstallationRun& run) {
    // A missing key or value, another type and an empty text all mean a first installation.
    std::wstring appPath;
    run.upgrade = run.registry.readString(product::kProductKey, L"AppPath", appPath) && !appPath.empty();
    if (!run.upgrade) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"First time installation");
        return;
    }
    run.previousFolder = textBeforeNul(appPath);
    const FolderUse use = earlierFolderUse(run.previousFolder);
    run.previousFolderUsable = use == FolderUse::Usable;
    // A folder an interrupted upgrade resumes from passes the same rule.
    if (run.previousFolderUsable && ov::isSameFolder(run.previousFolder, run.moduleFolder)) {
        resumeInterruptedUpgrade(run);
    }
    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Upgrade scenario, old installation detected in: %s",
                    run.previousFolder.c_str());
    if (!run.previousFolderUsable) {
        OV_SEQUENCE_LOG(OvKmfLogging::Warning, L"Earlier folder not used: %s %s", run.previousFolder.c_str(),
                        folderUseReason(use));
    }
}

namespace {

// Each removal stands alone: a tool that is missing or fails changes nothing for the others. Without
// a tool (a folder that is not used) each removal fails as one whose tool cannot be started.
void removeOldDriver(const DriverTool* tool, const char* operation, const wchar_t* label,
                     const std::string& driver) {
    try {
        if (tool == nullptr) {
            throw std::runtime_error("the earlier folder is not used");
        }
        const unsigned long code = tool->run(operation, driver);
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"drivertool.exe %s returned %d", label, static_cast<int>(code));
    } catch (const std::exception&) {
        OV_SEQUENCE_LOG(OvKmfLogging::Error, L"drivertool.exe %s returned exception", label);
    }
}

} // namespace

void removeOldComponents(InstallationRun& run) {
    if (!run.upgrade) {
        return;
    }
    const DriverTool earlierTool(run.previousFolder);
    const DriverTool* tool = run.previousFolderUsable ? &earlierTool : nullptr;
    const std::string tunnelingDriver = OVVpnCustomization::getOpenVpnTunnelingDriverName();
    removeOldDriver(tool, "uninstall", L"uninstall", tunnelingDriver);

    const std::string tapDriver = OVVpnCustomization::getOpenVpnTapDriverName();
    if (OVVpnCustomization::isWintunSupported() && tapDriver != tunnelingDriver) {
        OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Uninstall old TAP driver as Wintun is used instead");
        removeOldDriver(tool, "uninstall", L"uninstall old tap", tapDriver);
    }

    OV_SEQUENCE_LOG(OvKmfLogging::Info, L"Uninstall callout driver");
    removeOldDriver(tool, "calloutuninstall", L"calloutuninstall",
                    OVVpnCustomization::getWfpCalloutDriverName());

    // The processes are matched by their path holding the folder's text: only a plain local folder
    // keeps that match to the earlier version's own processes.
    if (run.previousFolderUsable) {
        ExecuteApplication::killProcessesByName(product::kClientExecutable, product::kClientQuitTimeoutMs,
                                                run.previousFolder.c_str());
        ExecuteApplication::killProcessesByName(product::kTunnelExecutable, product::kTunnelQuitTimeoutMs,
                                                run.previousFolder.c_str());
    }
    run.registry.deleteValue(product::kProductKey, L"UiStartedOnceAfterInstallation");
    run.registry.deleteValue(product::kProductKey, L"OEMInstallationDetected");
}
