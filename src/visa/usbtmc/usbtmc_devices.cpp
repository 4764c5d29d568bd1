#include "visa/usbtmc/usbtmc_devices.h"

#include <libudev.h>

#include <cstdio>
#include <cstdlib>

#include "base/ascii.h"
#include "base/unique_handle.h"

namespace {

struct UdevTraits {
    using type = udev*;
    static type invalid() noexcept { return nullptr; }
    static void close(type u) noexcept { udev_unref(u); }
};
struct UdevEnumerateTraits {
    using type = udev_enumerate*;
    static type invalid() noexcept { return nullptr; }
    static void close(type e) noexcept { udev_enumerate_unref(e); }
};
struct UdevDeviceTraits {
    using type = udev_device*;
    static type invalid() noexcept { return nullptr; }
    static void close(type d) noexcept { udev_device_unref(d); }
};

uint16_t HexAttribute(udev_device* device, const char* name) {
    const char* text = udev_device_get_sysattr_value(device, name);
    return text ? static_cast<uint16_t>(std::strtoul(text, nullptr, 16)) : 0;
}

}  // namespace

std::string UsbtmcResourceName(uint16_t vendor, uint16_t product, const std::string& serial) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "USB0::0x%04X::0x%04X::", vendor, product);
    return ids + (serial.empty() ? std::string() : serial + "::") + "INSTR";
}

std::vector<UsbtmcDevice> ListUsbtmcDevices() {
    std::vector<UsbtmcDevice> found;
    UniqueHandle<UdevTraits> context(udev_new());
    if (!context) return found;
    UniqueHandle<UdevEnumerateTraits> search(udev_enumerate_new(context.get()));
    if (!search) return found;
    udev_enumerate_add_match_subsystem(search.get(), "usbmisc");
    udev_enumerate_add_match_sysname(search.get(), "usbtmc*");
    udev_enumerate_scan_devices(search.get());
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(search.get())) {
        UniqueHandle<UdevDeviceTraits> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device) continue;
        const char* node = udev_device_get_devnode(device.get());
        // The parent belongs to the child: no reference of its own to drop.
        udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
        if (!node || !usb) continue;
        const char* serial = udev_device_get_sysattr_value(usb, "serial");
        found.push_back({UsbtmcResourceName(HexAttribute(usb, "idVendor"),
                                            HexAttribute(usb, "idProduct"), serial ? serial : ""),
                         node});
    }
    return found;
}

std::string UsbtmcNodeOf(const std::string& resource) {
    std::string wanted = resource;
    UpperCaseAscii(wanted);
    for (UsbtmcDevice& device : ListUsbtmcDevices()) {
        UpperCaseAscii(device.resource);
        if (device.resource == wanted) return device.node;
    }
    return std::string();
}
