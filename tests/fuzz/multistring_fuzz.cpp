// Feeds arbitrary 16-bit units to the string-list parser and checks that what it finds
// builds back into the same list, as a registry round trip would.
#include <ov/MultiString.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string units(size / 2, u'\0');
    if (!units.empty()) {
        std::memcpy(&units[0], data, units.size() * 2);
    }

    const std::vector<std::u16string> items = ov::parseMultiString(units.data(), units.size());
    std::size_t expectedSize = 1;
    for (const auto& item : items) {
        check(!item.empty());
        check(item.find(u'\0') == std::u16string::npos);
        expectedSize += item.size() + 1;
    }

    const std::optional<std::u16string> built = ov::buildMultiString(items);
    check(built.has_value());
    check(built->size() == (items.empty() ? 2 : expectedSize));
    check(built->size() >= 2 && (*built)[built->size() - 1] == u'\0' && (*built)[built->size() - 2] == u'\0');
    check(ov::parseMultiString(built->data(), built->size()) == items);
    if (!items.empty()) {
        // The parsed items are the start of the input, each with its NUL.
        check(units.compare(0, built->size() - 1, *built, 0, built->size() - 1) == 0);
    }

    // An empty item anywhere spoils the whole list.
    std::vector<std::u16string> withEmpty = items;
    const std::size_t at = size == 0 ? 0 : data[0] % (items.size() + 1);
    withEmpty.insert(withEmpty.begin() + static_cast<std::ptrdiff_t>(at), std::u16string());
    check(!ov::buildMultiString(withEmpty).has_value());
    return 0;
}
