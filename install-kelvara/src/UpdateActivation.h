// What the entry records after a successful installation: which of the outer framework's update
// packages of this module is now installed, and where the installation action's module lives.
#pragma once

#include "RunContext.h"

// Marks the package named like the run's version "active" and every other package of the module
// "inactive" (only when registry root, module and version are all known), then records the
// executable's folder under the product's modules key. Registry failures are not reported.
void activateUpdateModule(const RunContext& context);
