#pragma once
// The identity of the instruments this utility serves: USB vendor and product ids and a
// MAC prefix, resolved once at start-up from a four-field identity line.

#include <string>

class WindowServices;

struct DeviceIdentity {
    std::string leadingToken;
    std::string vid;
    std::string pid;
    std::string mac;
    std::string macPart1, macPart2, macPart3;
    int defaultFlag = 0;  // 1 when the identity came from the built-in line
};

extern const char kDefaultIdentityLine[];

// Field `index` of `text` split at `separator`, counting from 0: empty for empty fields
// and for fields past the end. The text ends at its first zero byte.
std::string ExtractSubString(const std::string& text, int index, char separator);
// The same, telling the missing field apart: false (and `out` empty) when the text has
// fewer than `index` separators (or `index` is negative).
bool ExtractSubString(std::string& out, const std::string& text, int index, char separator);

// "0x%04x" of the leading decimal number (as atol reads it), unless the text already
// begins with 0x or 0X.
std::string NormaliseUsbId(const std::string& text);

void ParseIdentityLine(DeviceIdentity& identity, const std::string& line);

// Resolves, normalises and tests the identity. The command line is no source of
// identity: the built-in line is what counts. On failure its "WARNING:" box has been
// shown (a box without owner) and the program must end.
bool ResolveIdentity(DeviceIdentity& identity, WindowServices& window);
// The steps of ResolveIdentity with both sources given: the (emptied) command line first,
// then `builtInLine` when the command line names no VID, PID or MAC. The "INFO:" box shows
// an identity that did not come from the built-in line.
bool ResolveIdentityFrom(DeviceIdentity& identity, WindowServices& window,
                         const std::string& commandLine, const std::string& builtInLine);
