#pragma once
// The instruments the kernel's USBTMC driver offers, as udev sees them now: every usbmisc
// device named usbtmc*, with the identity of the USB device it belongs to.

#include <cstdint>
#include <string>
#include <vector>

struct UsbtmcDevice {
    std::string resource;  // "USB0::0x0D3F::0x1141::TW00012345::INSTR"
    std::string node;      // "/dev/usbtmc0"
};

// In udev's order. A node whose USB device cannot be found is left out.
std::vector<UsbtmcDevice> ListUsbtmcDevices();

// The resource name a vendor library gives the device: upper-case hex identities, and no
// serial field when the device has no serial.
std::string UsbtmcResourceName(uint16_t vendor, uint16_t product, const std::string& serial);

// The node that holds `resource` now (letter case ignored); empty when none does.
std::string UsbtmcNodeOf(const std::string& resource);
