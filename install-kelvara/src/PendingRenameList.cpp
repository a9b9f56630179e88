#include "PendingRenameList.h"

namespace {

// The text from `from` up to its NUL, never beyond `end`.
std::u16string textAt(const char16_t* units, std::size_t from, std::size_t end) {
    std::size_t to = from;
    while (to < end && units[to] != u'\0') {
        ++to;
    }
    return std::u16string(units + from, units + to);
}

bool touchesFolder(const PendingRenamePair& pair, const std::u16string& folder,
                   const std::u16string& ntForm) {
    return pair.source.find(folder) != std::u16string::npos ||
           pair.destination.find(folder) != std::u16string::npos || pair.source == ntForm ||
           pair.destination == ntForm;
}

} // namespace

PendingRenameFilter filterPendingRenames(const char16_t* units, std::size_t count,
                                         const std::u16string& folder) {
    PendingRenameFilter result;
    // Matches an operation on the folder itself, such as its deletion.
    const std::u16string ntForm = u"\\??\\" + folder.substr(0, folder.empty() ? 0 : folder.size() - 1);

    std::size_t stringStart = 0;
    std::size_t pairStart = 0;
    bool sourcePending = false;
    for (std::size_t i = 1; i < count; ++i) {
        if (units[i] != u'\0' && i != count - 1) {
            continue;
        }
        if (!sourcePending) {
            // An empty string is a source like any other: units after the list-ending NUL are
            // paired too, and what they hold is kept or dropped by the same rule.
            sourcePending = true;
            pairStart = stringStart;
            stringStart = i + 1;
            continue;
        }
        PendingRenamePair pair;
        pair.begin = pairStart;
        pair.end = i + 1;
        pair.source = textAt(units, pairStart, pair.end);
        pair.destination = textAt(units, stringStart, pair.end);
        pair.dropped = touchesFolder(pair, folder, ntForm);
        if (pair.dropped) {
            result.anyDropped = true;
        } else {
            result.kept.insert(result.kept.end(), units + pair.begin, units + pair.end);
        }
        result.pairs.push_back(std::move(pair));
        stringStart = i + 1;
        sourcePending = false;
    }
    // The list-ending NUL (a source still pending here never got a destination and is not kept).
    result.kept.push_back(u'\0');
    return result;
}
