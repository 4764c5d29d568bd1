#pragma once
// VISA names of USB instruments, field by field:
//   USB[board]::vendor::product::serial[::interface]::INSTR
// The board number may be left out (board 0); the identities are hexadecimal with "0x" or
// decimal and fit 16 bits; the interface is a decimal USB interface number (0 to 255);
// keywords and hexadecimal digits in either letter case. The one place that knows the
// layout: the kernel USBTMC backend finds instruments by it, and the serial that listings
// and choices show comes from it.

#include <cstdint>
#include <string>

struct UsbResourceName {
    unsigned board = 0;
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string serial;        // may be empty: "USB0::0x0D3F::0x1141::INSTR"
    int interfaceNumber = -1;  // -1: not given
};

// False when `name` is no such name; `parsed` is then unspecified.
bool ParseUsbResourceName(const std::string& name, UsbResourceName& parsed);

// The name as vendor libraries list it: board 0, upper-case hexadecimal identities, the
// serial field only when there is a serial, the interface only when one is given.
std::string FormatUsbResourceName(const UsbResourceName& name);
