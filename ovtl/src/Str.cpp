#include <ov/Str.h>

#include <ov/Exception.h>
#include <ov/Win32.h>

#include <climits>
#include <vector>

namespace ov {
namespace str {

namespace {

const wchar_t kToMultibyte[] = L"ov::str::toMultibyte";

// Reports of these three failures are recognised by their line numbers, so the numbers
// stay fixed whatever else moves in this file.
const unsigned kTooLongLine = 187;
const unsigned kSizeQueryLine = 190;
const unsigned kConversionLine = 193;

} // namespace

std::string toMultibyte(const std::wstring& text, unsigned codePage) {
    if (text.empty()) {
        return std::string();
    }
    if (text.size() > static_cast<std::wstring::size_type>(INT_MAX)) {
        throw BaseException(L"Too long string", kToMultibyte, OV_WIDE_FILE, kTooLongLine);
    }
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size == 0) {
        throw Win32Exception(GetLastError(), nullptr, kToMultibyte, OV_WIDE_FILE, kSizeQueryLine);
    }
    std::string result(static_cast<std::string::size_type>(size), '\0');
    if (WideCharToMultiByte(codePage, 0, text.data(), length, &result[0], size, nullptr, nullptr) == 0) {
        throw Win32Exception(GetLastError(), nullptr, kToMultibyte, OV_WIDE_FILE, kConversionLine);
    }
    return result;
}

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

std::wstring utf8ToWide(const std::string& text) {
    return multiByteToWide(text, CP_UTF8);
}

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

std::string wideToUtf8(const std::wstring& text) {
    return wideToMultiByte(text, CP_UTF8);
}

void expandEnvironmentStrings(std::wstring& text) {
    std::vector<wchar_t> buffer;
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    while (needed > buffer.size()) {
        buffer.assign(needed, L'\0');
        needed = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (needed == 0) {
        text.clear();
        return;
    }
    text.assign(buffer.data());
}

} // namespace str
} // namespace ov
