#include "app/device_identity.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "instrument/search_expression.h"
#include "ui/window_services.h"

const char kDefaultIdentityLine[] = "ABC 3391 4417 02-5C-3E";

namespace {

const char kWarningCaption[] = "WARNING:";
const char kCheckIdentity[] = "Check VID, PID and MAC !";
const char kCheckMac[] = "Check MAC format xx-xx-xx !";

// atol as the Windows runtime reads it: blanks, a sign, then decimal digits; a value out
// of the 32-bit range saturates.
int32_t ReadLong(const char* p) {
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    int64_t value = 0;
    const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : INT32_MAX;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) value = limit;  // keeps reading digits, stays saturated
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

bool ExtractSubString(std::string& out, const std::string& text, int index, char separator) {
    out.clear();
    // The text ends at its first zero byte, as a C string would.
    const char* p = text.c_str();
    for (; index != 0; --index) {
        if (index < 0) return false;
        p = std::strchr(p, separator);
        if (p == nullptr) return false;
        ++p;
    }
    const char* end = std::strchr(p, separator);
    out.assign(p, end ? static_cast<size_t>(end - p) : std::strlen(p));
    return true;
}

std::string ExtractSubString(const std::string& text, int index, char separator) {
    std::string out;
    ExtractSubString(out, text, index, separator);
    return out;
}

void ParseIdentityLine(DeviceIdentity& identity, const std::string& line) {
    identity.leadingToken = ExtractSubString(line, 0, ' ');
    identity.vid = ExtractSubString(line, 1, ' ');
    identity.pid = ExtractSubString(line, 2, ' ');
    identity.mac = ExtractSubString(line, 3, ' ');
}

std::string NormaliseUsbId(const std::string& text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return text;
    char formatted[16];
    std::snprintf(formatted, sizeof formatted, "0x%04x",
                  static_cast<unsigned>(ReadLong(text.c_str())));
    return formatted;
}

bool ResolveIdentity(DeviceIdentity& identity, WindowServices& window) {
    // Start-up empties the command line before it is parsed: it is no source of identity.
    return ResolveIdentityFrom(identity, window, std::string(), kDefaultIdentityLine);
}

bool ResolveIdentityFrom(DeviceIdentity& identity, WindowServices& window,
                         const std::string& commandLine, const std::string& builtInLine) {
    identity.defaultFlag = 0;
    ParseIdentityLine(identity, commandLine);
    if (identity.vid.empty() && identity.pid.empty() && identity.mac.empty()) {
        ParseIdentityLine(identity, builtInLine);
        identity.defaultFlag = 1;
    }
    identity.vid = NormaliseUsbId(identity.vid);
    identity.pid = NormaliseUsbId(identity.pid);

    // Ids that would not fit the search expression are refused here rather than cut short
    // or overflowing the search later.
    if (identity.leadingToken.empty() || identity.vid.empty() || identity.pid.empty() ||
        identity.mac.empty() || !FitsSearchExpression(identity.vid, identity.pid)) {
        window.MessageBox(kCheckIdentity, kWarningCaption, kMbOk, false);
        return false;
    }
    identity.macPart1 = ExtractSubString(identity.mac, 0, '-');
    identity.macPart2 = ExtractSubString(identity.mac, 1, '-');
    identity.macPart3 = ExtractSubString(identity.mac, 2, '-');
    if (identity.macPart1.empty() || identity.macPart2.empty() || identity.macPart3.empty()) {
        window.MessageBox(kCheckMac, kWarningCaption, kMbOk, false);
        return false;
    }
    if (identity.defaultFlag == 0) {
        window.MessageBox("VID:" + identity.vid + "\nPID:" + identity.pid + "\nMAC:" +
                              identity.macPart1 + "-" + identity.macPart2 + "-" + identity.macPart3,
                          "INFO:", kMbOk | kMbIconInformation, false);
    }
    return true;
}
