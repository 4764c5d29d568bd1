#include "visa/usb_resource_name.h"

#include <cstdio>
#include <vector>

#include "base/ascii.h"

namespace {

constexpr char kSeparator[] = "::";

std::vector<std::string> Fields(const std::string& name) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t end; (end = name.find(kSeparator, start)) != std::string::npos; start = end + 2)
        fields.push_back(name.substr(start, end - start));
    fields.push_back(name.substr(start));
    return fields;
}

int DigitValue(char c, unsigned base) {
    const char upper = UpperAscii(c);
    const int value = upper >= '0' && upper <= '9'   ? upper - '0'
                      : upper >= 'A' && upper <= 'F' ? upper - 'A' + 10
                                                     : -1;
    return value < static_cast<int>(base) ? value : -1;
}

// A number no greater than `max`: decimal, or hexadecimal after "0x" where `hex` allows.
bool ParseNumber(const std::string& text, bool hex, unsigned max, unsigned& value) {
    unsigned base = 10;
    size_t at = 0;
    if (hex && text.size() > 2 && text[0] == '0' && UpperAscii(text[1]) == 'X') base = 16, at = 2;
    if (at == text.size()) return false;
    value = 0;
    for (; at < text.size(); ++at) {
        const int digit = DigitValue(text[at], base);
        if (digit < 0) return false;
        value = value * base + static_cast<unsigned>(digit);
        if (value > max) return false;
    }
    return true;
}

}  // namespace

bool ParseUsbResourceName(const std::string& name, UsbResourceName& parsed) {
    const std::vector<std::string> fields = Fields(name);
    if (fields.size() < 4 || fields.size() > 6) return false;
    if (!StartsWithIgnoringCase(fields[0], "USB") || !EqualIgnoringCase(fields.back(), "INSTR"))
        return false;
    const std::string board = fields[0].substr(3);
    unsigned vendor = 0, product = 0, interfaceNumber = 0;
    if (!(board.empty() || ParseNumber(board, false, 0xFFFF, parsed.board)) ||
        !ParseNumber(fields[1], true, 0xFFFF, vendor) ||
        !ParseNumber(fields[2], true, 0xFFFF, product))
        return false;
    if (board.empty()) parsed.board = 0;
    parsed.vendor = static_cast<uint16_t>(vendor);
    parsed.product = static_cast<uint16_t>(product);
    parsed.serial = fields.size() > 4 ? fields[3] : std::string();
    parsed.interfaceNumber = -1;
    if (fields.size() == 5 && parsed.serial.empty()) return false;
    if (fields.size() == 6) {
        if (!ParseNumber(fields[4], false, 0xFF, interfaceNumber)) return false;
        parsed.interfaceNumber = static_cast<int>(interfaceNumber);
    }
    return true;
}

std::string FormatUsbResourceName(const UsbResourceName& name) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "USB0::0x%04X::0x%04X::", name.vendor, name.product);
    std::string text = ids;
    if (!name.serial.empty() || name.interfaceNumber >= 0) text += name.serial + kSeparator;
    if (name.interfaceNumber >= 0) text += std::to_string(name.interfaceNumber) + kSeparator;
    return text + "INSTR";
}
