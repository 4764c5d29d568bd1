#include "visa/usbtmc/usbtmc_devices.h"

#include <libudev.h>

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

// Sysfs writes these attributes in hexadecimal ("0d3f", "00"); -1 when absent.
long HexAttribute(udev_device* device, const char* name) {
    const char* text = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    return text ? std::strtol(text, nullptr, 16) : -1;
}

}  // namespace

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
        // Parents belong to the child: no references of their own to drop.
        udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
        udev_device* interface =
            udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_interface");
        if (!node || !usb) continue;
        // A node udevd has yet to process still has the kernel's root-only mode. Told by its
        // USB device, which udevd processes first: where no udevd runs (a container, a test
        // bed) neither is ever marked, and the node is all there is.
        if (!udev_device_get_is_initialized(device.get()) && udev_device_get_is_initialized(usb))
            continue;
        UsbtmcDevice listed;
        listed.node = node;
        listed.usbDevice = udev_device_get_syspath(usb);
        listed.identity.vendor = static_cast<uint16_t>(HexAttribute(usb, "idVendor"));
        listed.identity.product = static_cast<uint16_t>(HexAttribute(usb, "idProduct"));
        const char* serial = udev_device_get_sysattr_value(usb, "serial");
        listed.identity.serial = serial ? serial : "";
        listed.identity.interfaceNumber =
            static_cast<int>(HexAttribute(interface, "bInterfaceNumber"));
        found.push_back(std::move(listed));
    }
    NameUsbtmcDevices(found);
    return found;
}

void NameUsbtmcDevices(std::vector<UsbtmcDevice>& devices) {
    for (UsbtmcDevice& device : devices) {
        bool shared = false;
        for (const UsbtmcDevice& other : devices)
            shared |= &other != &device && other.usbDevice == device.usbDevice;
        UsbResourceName name = device.identity;
        if (!shared) name.interfaceNumber = -1;
        device.resource = FormatUsbResourceName(name);
    }
}

std::string UsbtmcNodeOf(const std::string& resource) {
    UsbResourceName wanted;
    if (!ParseUsbResourceName(resource, wanted) || wanted.board != 0) return std::string();
    const std::vector<UsbtmcDevice> devices = ListUsbtmcDevices();
    const UsbtmcDevice* best = nullptr;
    for (const UsbtmcDevice& device : devices) {
        const UsbResourceName& has = device.identity;
        if (has.vendor != wanted.vendor || has.product != wanted.product ||
            !EqualIgnoringCase(has.serial, wanted.serial))
            continue;
        if (wanted.interfaceNumber >= 0 && has.interfaceNumber != wanted.interfaceNumber) continue;
        if (!best || has.interfaceNumber < best->identity.interfaceNumber) best = &device;
    }
    return best ? best->node : std::string();
}
