#include "ProcessToken.h"

#include <ov/Handle.h>
#include <ov/ProcessUser.h>
#include <ov/Win32.h>

#include <sddl.h>

#include <vector>

namespace OvKmfLogging {

namespace {

// The token information of one class, sized by a first call; empty on failure.
std::vector<unsigned char> tokenInformation(TOKEN_INFORMATION_CLASS informationClass) {
    ov::ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), informationClass, nullptr, 0, &size);
    if (size == 0) {
        return {};
    }
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), informationClass, buffer.data(), size, &size)) {
        return {};
    }
    return buffer;
}

} // namespace

bool isLowIntegrityProcess() {
    const std::vector<unsigned char> buffer = tokenInformation(TokenIntegrityLevel);
    if (buffer.empty()) {
        return false;
    }
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    PSID sid = label->Label.Sid;
    if (sid == nullptr || !IsValidSid(sid)) {
        return false;
    }
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) {
        return false;
    }
    return *GetSidSubAuthority(sid, count - 1u) == SECURITY_MANDATORY_LOW_RID;
}

std::vector<ov::Sid> ownAccountSids() {
    std::vector<ov::Sid> sids;
    std::vector<unsigned char> buffer = tokenInformation(TokenUser);
    if (!buffer.empty()) {
        sids.emplace_back(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
    }
    buffer = tokenInformation(TokenOwner);
    if (!buffer.empty()) {
        sids.emplace_back(reinterpret_cast<const TOKEN_OWNER*>(buffer.data())->Owner);
    }
    return sids;
}

std::vector<PSID> sidPointers(const std::vector<ov::Sid>& sids) {
    std::vector<PSID> pointers;
    for (const ov::Sid& sid : sids) {
        pointers.push_back(sid.get());
    }
    return pointers;
}

std::wstring processUserSidText() {
    const ov::Sid sid = ov::processUserSid(nullptr);
    wchar_t* text = nullptr;
    if (!sid.hasValue() || !ConvertSidToStringSidW(sid.get(), &text)) {
        return std::wstring();
    }
    ov::ScopedLocalMemory owner(text);
    return std::wstring(text);
}

} // namespace OvKmfLogging
