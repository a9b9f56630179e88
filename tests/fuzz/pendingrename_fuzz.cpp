// Properties of the restart-time operations filter on any data: it reads only the units it is
// given, keeps whole input pairs in their input order, keeps no pair that touches the folder, and
// leaves a list in normal form unchanged when run on it again.
#include "PendingRenameList.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const std::u16string kFolders[] = {u"C:\\Ov\\", u"\\??\\C:\\Ov\\", u"\\", u"a\\"};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Pairs of a non-empty source and a destination, each ended by a NUL, then the list-ending NUL.
bool normalForm(const std::vector<char16_t>& list) {
    std::size_t at = 0;
    while (at < list.size() && list[at] != u'\0') {
        for (int string = 0; string < 2; ++string) {
            while (at < list.size() && list[at] != u'\0') {
                ++at;
            }
            if (at++ == list.size()) {
                return false;
            }
        }
    }
    return at + 1 == list.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::u16string& folder = kFolders[data[0] % 4];
    const std::u16string ntForm = u"\\??\\" + folder.substr(0, folder.size() - 1);
    // An exactly sized copy, so that a read past the last unit is caught; an odd byte is left over.
    const std::size_t count = (size - 1) / 2;
    std::unique_ptr<char16_t[]> units(new char16_t[count + 1]);
    std::memcpy(units.get(), data + 1, count * 2);
    const PendingRenameFilter result = filterPendingRenames(units.get(), count, folder);

    // The output is the kept pairs' own units, in input order, then the list-ending NUL.
    std::vector<char16_t> kept;
    std::size_t previousEnd = 0;
    for (const PendingRenamePair& pair : result.pairs) {
        require(pair.begin >= previousEnd && pair.begin < pair.end && pair.end <= count);
        previousEnd = pair.end;
        const std::u16string unitsOfPair(units.get() + pair.begin, units.get() + pair.end);
        // The texts logged for the pair are the first and the last string of its units.
        const std::size_t textEnd = unitsOfPair.size() - (unitsOfPair.back() == u'\0' ? 1 : 0);
        require(unitsOfPair.compare(0, pair.source.size(), pair.source) == 0);
        require(textEnd >= pair.destination.size() &&
                unitsOfPair.compare(textEnd - pair.destination.size(), pair.destination.size(),
                                    pair.destination) == 0);
        if (!pair.dropped) {
            require(pair.source.find(folder) == std::u16string::npos &&
                    pair.destination.find(folder) == std::u16string::npos && pair.source != ntForm &&
                    pair.destination != ntForm);
            kept.insert(kept.end(), unitsOfPair.begin(), unitsOfPair.end());
        }
    }
    kept.push_back(u'\0');
    require(kept == result.kept);

    if (normalForm(result.kept)) {
        const PendingRenameFilter again =
            filterPendingRenames(result.kept.data(), result.kept.size(), folder);
        require(!again.anyDropped && again.kept == result.kept);
    }
    return 0;
}
