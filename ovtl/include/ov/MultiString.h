// The registry's string-list format (REG_MULTI_SZ) as plain text: every item followed by a NUL,
// the list ended by one more NUL. No system calls, so it builds and fuzzes on any platform.
// The functions work on 16-bit units: char16_t everywhere, wchar_t where it is 16 bits wide.
#pragma once

#include <cstddef>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace ov {

// The units of a string list: each item, a NUL after each, then one more NUL; an empty list
// gives two NULs. Nothing (nullopt) when an item is empty, as that would end the list early.
template <typename Char>
std::optional<std::basic_string<Char>> buildMultiString(const std::vector<std::basic_string<Char>>& items);

// The items of a string list of `count` units. A NUL that ends an empty segment ends the list;
// units after the last NUL belong to no item and are dropped.
template <typename Char>
std::vector<std::basic_string<Char>> parseMultiString(const Char* units, std::size_t count);

extern template std::optional<std::u16string> buildMultiString(const std::vector<std::u16string>&);
extern template std::vector<std::u16string> parseMultiString(const char16_t*, std::size_t);
#if WCHAR_MAX <= 0xFFFF
extern template std::optional<std::wstring> buildMultiString(const std::vector<std::wstring>&);
extern template std::vector<std::wstring> parseMultiString(const wchar_t*, std::size_t);
#endif

} // namespace ov
