// Sequence step: the product service, registered or re-pointed at this version, and stopped so
// that the files it runs from can be replaced.
#include "InstallationSteps.h"
#include "ProductLayout.h"

#include <ov/PathRules.h>

void registerProductService(InstallationRun& run) {
    const std::wstring imagePath =
        L"\"" + ov::joinPath(run.moduleFolder, product::kServiceExecutable) + L"\"";
    // The local system account: an empty account name.
    run.services.push_back(std::make_unique<ov::ul::UpdatedService>(product::kServiceName, imagePath, L""));
    run.services.back()->makeAutomaticallyRestarteable();
    stopServices(run);
}

void stopServices(InstallationRun& run) {
    for (const auto& service : run.services) {
        service->stop();
    }
}
