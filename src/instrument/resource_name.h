#pragma once
// The serial number in a VISA resource name ("USB0::0x0D3F::0x1141::TW00012345::INSTR").

#include <string>

enum class SerialRule {
    // The serial of a USB instrument name (visa/usb_resource_name.h), else the fourth
    // "::"-separated field, whole; empty when the name has fewer fields. What listings,
    // choices by serial and reports use.
    kField,
    // Ten characters from the first "TW" of the name, or its first ten characters when it
    // has none: what the window's confirmation has always shown.
    kConfirmation,
};

std::string SerialFromResource(const std::string& resource, SerialRule rule = SerialRule::kField);
// Whether `text` can be a resource's serial field: one or more printable ASCII characters,
// none of them a blank, ':' or ','.
bool IsSerialText(const std::string& text);
