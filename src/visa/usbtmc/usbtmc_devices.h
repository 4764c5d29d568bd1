#pragma once
// The instruments the kernel's USBTMC driver offers, as udev sees them now: every usbmisc
// device named usbtmc* that udevd has finished with, with the identity of the USB device
// and interface it belongs to.

#include <string>
#include <vector>

#include "visa/usb_resource_name.h"

struct UsbtmcDevice {
    std::string resource;      // "USB0::0x0D3F::0x1141::TW00012345::INSTR"
    std::string node;          // "/dev/usbtmc0"
    std::string usbDevice;     // the USB device's sysfs path: one per instrument
    UsbResourceName identity;  // interfaceNumber: the interface's bInterfaceNumber, -1 unknown
};

// In udev's order. A node whose USB device cannot be found is left out.
std::vector<UsbtmcDevice> ListUsbtmcDevices();

// Names each device as vendor libraries do; with its interface number only when another
// USBTMC interface of the same USB device is listed too.
void NameUsbtmcDevices(std::vector<UsbtmcDevice>& devices);

// The node that holds `resource` now: serial compared regardless of letter case, without an
// interface number the lowest-numbered interface. Empty when none does, or when `resource`
// is no USB instrument name.
std::string UsbtmcNodeOf(const std::string& resource);
