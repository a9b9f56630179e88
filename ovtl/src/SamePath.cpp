#include <ov/SamePath.h>

#include <ov/PathRules.h>
#include <ov/Win32.h>

namespace ov {

bool isSamePath(const std::wstring& left, const std::wstring& right) {
    const std::wstring a = stripTrailingBackslash(left);
    const std::wstring b = stripTrailingBackslash(right);
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

} // namespace ov
