#include <logging/SecurityAttributes.h>

#include <ov/LastError.h>

#include <sddl.h>

namespace OvKmfLogging {

const char kSharedFolderSddl[] = "D:P(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;GRGX;;;AU)";
const char kPrivateFolderSddl[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";
const char kLockSddl[] = "D:(A;;GA;;;SY)(A;;GA;;;BA)";

void SecurityAttributesDeleter::operator()(SECURITY_ATTRIBUTES* attributes) const noexcept {
    if (attributes == nullptr) {
        return;
    }
    const ov::LastErrorKeeper keeper;
    if (attributes->lpSecurityDescriptor != nullptr) {
        LocalFree(attributes->lpSecurityDescriptor);
    }
    HeapFree(GetProcessHeap(), 0, attributes);
}

SecurityAttributesPtr createSecurityAttributes(const char* sddl) {
    auto* attributes = static_cast<SECURITY_ATTRIBUTES*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SECURITY_ATTRIBUTES)));
    if (attributes == nullptr) {
        return SecurityAttributesPtr();
    }
    attributes->nLength = sizeof(SECURITY_ATTRIBUTES);
    attributes->bInheritHandle = FALSE;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        descriptor = nullptr;
    }
    attributes->lpSecurityDescriptor = descriptor;
    return SecurityAttributesPtr(attributes);
}

} // namespace OvKmfLogging
