#include <ov/Str.h>

#include <ov/Win32.h>

#include <climits>

namespace ov {
namespace str {

std::wstring multiByteToWide(const std::string& text, unsigned codePage) {
    if (text.empty() || text.size() > static_cast<std::string::size_type>(INT_MAX)) {
        return std::wstring();
    }
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring result(static_cast<std::wstring::size_type>(size), L'\0');
    if (MultiByteToWideChar(codePage, 0, text.data(), length, &result[0], size) == 0) {
        return std::wstring();
    }
    return result;
}

std::wstring utf8ToWide(const std::string& text) { return multiByteToWide(text, CP_UTF8); }

std::string wideToMultiByte(const std::wstring& text, unsigned codePage) {
    if (text.empty() || text.size() > static_cast<std::wstring::size_type>(INT_MAX)) {
        return std::string();
    }
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size == 0) {
        return std::string();
    }
    std::string result(static_cast<std::string::size_type>(size), '\0');
    if (WideCharToMultiByte(codePage, 0, text.data(), length, &result[0], size, nullptr, nullptr) == 0) {
        return std::string();
    }
    return result;
}

std::string wideToUtf8(const std::wstring& text) { return wideToMultiByte(text, CP_UTF8); }

} // namespace str
} // namespace ov
