#include <install-common/KeyValueText.h>

void parseKeyValueText(const std::string& text, KeyValueTable& table) {
    std::string key;
    std::string value;
    bool inKey = true;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inKey && c == '=') {
            inKey = false;
            continue;
        }
        if (c == '\r') {
            continue;
        }
        if (c == '\n') {
            if (!key.empty()) {
                table[key] = value;
            }
            key.clear();
            value.clear();
            inKey = true;
            continue;
        }
        if (c != '\0') {
            (inKey ? key : value) += c;
        }
        // Texts written by tools may end without LF or carry a C string's NUL.
        if ((i + 1 == text.size() || c == '\0') && !key.empty()) {
            table[key] = value;
            return;
        }
    }
}
