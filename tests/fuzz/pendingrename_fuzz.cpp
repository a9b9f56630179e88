// Properties of the restart-time operations filter on any data: it reads only the units it is
// given, keeps or drops whole pairs byte for byte, writes a list that ends with a NUL, and
// drops nothing more when run on its own output.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::u16string& folder = kFolders[data[0] % 4];
    // An exactly sized copy, so that a read past the last unit is caught; an odd byte is left over.
    const std::size_t count = (size - 1) / 2;
    std::unique_ptr<char16_t[]> units(new char16_t[count + 1]);
    std::memcpy(units.get(), data + 1, count * 2);
    const PendingRenameFilter result = filterPendingRenames(units.get(), count, folder);

    require(!result.kept.empty() && result.kept.back() == u'\0');
    std::vector<char16_t> rebuilt;
    std::size_t previousEnd = 0;
    for (const PendingRenamePair& pair : result.pairs) {
        require(pair.begin >= previousEnd && pair.begin < pair.end && pair.end <= count);
        previousEnd = pair.end;
        require(pair.dropped == (pair.source.find(folder) != std::u16string::npos ||
                                 pair.destination.find(folder) != std::u16string::npos ||
                                 pair.source == u"\\??\\" + folder.substr(0, folder.size() - 1) ||
                                 pair.destination == u"\\??\\" + folder.substr(0, folder.size() - 1)));
        if (!pair.dropped) {
            rebuilt.insert(rebuilt.end(), units.get() + pair.begin, units.get() + pair.end);
            if (units[pair.end - 1] != u'\0') {
                rebuilt.push_back(u'\0');
            }
        }
    }
    rebuilt.push_back(u'\0');
    require(rebuilt == result.kept);

    const PendingRenameFilter again = filterPendingRenames(result.kept.data(), result.kept.size(), folder);
    require(!again.anyDropped && again.kept == result.kept);
    return 0;
}
