// Fuzzes the customization text parser: no crash, and the table never holds what a line
// cannot carry (empty keys, '=' in keys, NUL, CR or LF anywhere).
#include <install-common/KeyValueText.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KeyValueTable table;
    parseKeyValueText(text, table);

    std::size_t stored = 0;
    for (const auto& entry : table) {
        check(!entry.first.empty());
        check(entry.first.find_first_of(std::string("\0\r\n=", 4)) == std::string::npos);
        check(entry.second.find_first_of(std::string("\0\r\n", 3)) == std::string::npos);
        stored += entry.first.size() + entry.second.size();
    }
    // Every stored byte comes from the text.
    check(stored <= text.size());

    // Parsing the same text again into the filled table changes nothing.
    KeyValueTable again = table;
    parseKeyValueText(text, again);
    check(again == table);
    return 0;
}
