#pragma once
// Bytes from an instrument as a line of text may show them: control characters, DEL and the
// backslash become "\xNN", so that no reply can move the cursor, clear the screen or forge
// a line of its own. Everything else, bytes above 0x7F included, stays as it is.

#include <cstdio>
#include <string>

inline std::string PrintableText(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F && c != '\\') {
            shown += static_cast<char>(c);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        shown += escaped;
    }
    return shown;
}
