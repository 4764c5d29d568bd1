#include "instrument/resource_name.h"

#include "visa/usb_resource_name.h"

namespace {
constexpr size_t kConfirmationSerialLength = 10;
}

bool IsSerialText(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c <= ' ' || c > '~' || c == ':' || c == ',') return false;
    return true;
}

std::string SerialFromResource(const std::string& resource, SerialRule rule) {
    if (rule == SerialRule::kConfirmation) {
        size_t at = resource.find("TW");
        if (at == std::string::npos) at = 0;
        return resource.substr(at, kConfirmationSerialLength);
    }
    UsbResourceName usb;
    if (ParseUsbResourceName(resource, usb)) return usb.serial;
    // Another interface's name, as a vendor library may list it.
    size_t start = 0;
    for (int field = 0; field < 3; ++field) {
        start = resource.find("::", start);
        if (start == std::string::npos) return std::string();
        start += 2;
    }
    return resource.substr(start, resource.find("::", start) - start);
}
