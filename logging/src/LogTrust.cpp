#include <logging/LogTrust.h>

namespace OvKmfLogging {

namespace {

// Rights over a folder that let their holder change what the log finds in it, or the folder.
const ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                 WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    return IsWellKnownSid(sid, type) != FALSE;
}

} // namespace

bool isTrustedSid(PSID sid, const std::vector<PSID>& ownAccounts) {
    if (sid == nullptr || !IsValidSid(sid)) {
        return false;
    }
    if (isWellKnown(sid, WinLocalSystemSid) || isWellKnown(sid, WinBuiltinAdministratorsSid)) {
        return true;
    }
    for (const PSID own : ownAccounts) {
        if (own != nullptr && IsValidSid(own) && EqualSid(sid, own)) {
            return true;
        }
    }
    return false;
}

bool hasTrustedOwner(PSECURITY_DESCRIPTOR descriptor, const std::vector<PSID>& ownAccounts) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return descriptor != nullptr && GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) &&
           isTrustedSid(owner, ownAccounts);
}

LevelVerdict judgeLevel(DWORD attributes, PSECURITY_DESCRIPTOR descriptor,
                        const std::vector<PSID>& ownAccounts) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return LevelVerdict::ReparsePoint;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return LevelVerdict::NotADirectory;
    }
    if (!hasTrustedOwner(descriptor, ownAccounts)) {
        return LevelVerdict::ForeignOwner;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || dacl == nullptr) {
        return LevelVerdict::NoDacl;
    }
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(dacl, index, &ace)) {
            return LevelVerdict::ForeignWriter;
        }
        const ACE_HEADER& header = *static_cast<const ACE_HEADER*>(ace);
        if ((header.AceFlags & INHERIT_ONLY_ACE) != 0 || header.AceType == ACCESS_DENIED_ACE_TYPE ||
            header.AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
            header.AceType == ACCESS_DENIED_OBJECT_ACE_TYPE ||
            header.AceType == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE) {
            continue; // grants nothing on the folder itself
        }
        const bool plainAllow =
            header.AceType == ACCESS_ALLOWED_ACE_TYPE || header.AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        // Both plain layouts hold the mask and then the SID; any other kind of ACE is judged by
        // its mask alone, whoever it names.
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        const bool trusted = plainAllow && isTrustedSid(const_cast<DWORD*>(&allowed->SidStart), ownAccounts);
        if (!trusted && (allowed->Mask & kWriteRights) != 0) {
            return LevelVerdict::ForeignWriter;
        }
    }
    return LevelVerdict::Trusted;
}

bool isPlainLogFile(DWORD attributes, DWORD linkCount) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && linkCount <= 1;
}

} // namespace OvKmfLogging
