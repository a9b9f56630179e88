// The key=value text format of the customization settings. Pure text rules, no system calls,
// so the parser builds and fuzzes on any platform.
#pragma once

#include <map>
#include <string>

// Key to value, both bytes exactly as they stand in the text.
using KeyValueTable = std::map<std::string, std::string>;

// Adds the lines of the text to the table. Lines end at LF; CR is dropped anywhere. The key
// is everything before the first '=', the value everything after (nothing trimmed); a line
// without '=' is a key with an empty value; empty keys are skipped; a later line wins.
// The last line is stored without LF unless it ends in CR or in the '=' that ends its key.
// A NUL ends parsing after storing the line in progress, when that line has a key.
void parseKeyValueText(const std::string& text, KeyValueTable& table);
