#include <ov/MultiString.h>

namespace ov {

template <typename Char>
std::optional<std::basic_string<Char>> buildMultiString(const std::vector<std::basic_string<Char>>& items) {
    std::basic_string<Char> units;
    if (items.empty()) {
        // Readers expect a list to end in two NULs, also when it holds no item.
        units.assign(2, Char(0));
        return units;
    }
    std::size_t total = 1;
    for (const auto& item : items) {
        if (item.empty()) {
            return std::nullopt;
        }
        total += item.size() + 1;
    }
    units.reserve(total);
    for (const auto& item : items) {
        units.append(item);
        units.push_back(Char(0));
    }
    units.push_back(Char(0));
    return units;
}

template <typename Char>
std::vector<std::basic_string<Char>> parseMultiString(const Char* units, std::size_t count) {
    std::vector<std::basic_string<Char>> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (units[i] != Char(0)) {
            continue;
        }
        if (i == start) {
            break;
        }
        items.emplace_back(units + start, i - start);
        start = i + 1;
    }
    return items;
}

template std::optional<std::u16string> buildMultiString(const std::vector<std::u16string>&);
template std::vector<std::u16string> parseMultiString(const char16_t*, std::size_t);
#if WCHAR_MAX <= 0xFFFF
template std::optional<std::wstring> buildMultiString(const std::vector<std::wstring>&);
template std::vector<std::wstring> parseMultiString(const wchar_t*, std::size_t);
#endif

} // namespace ov
