#include "gadget_port.h"

#include <endian.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kConfigfs[] = "/sys/kernel/config/usb_gadget/";

bool WriteText(const std::string& path, const std::string& text) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    return fd && ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool MakeDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

struct Endpoints {
    usb_interface_descriptor interface;
    usb_endpoint_descriptor_no_audio out, in;
} __attribute__((packed));

struct Descriptors {
    usb_functionfs_descs_head_v2 head;
    __le32 fsCount, hsCount;
    Endpoints fs, hs;
} __attribute__((packed));

struct Strings {
    usb_functionfs_strings_head head;
    __le16 language;
    char interfaceName[7];
} __attribute__((packed));

Endpoints EndpointsOf(const GadgetIdentity& id, uint16_t packetSize) {
    Endpoints e{};
    e.interface = {sizeof e.interface,   USB_DT_INTERFACE,     0, 0, 2, id.interfaceClass,
                   id.interfaceSubClass, id.interfaceProtocol, 1};
    e.out = {sizeof e.out,           USB_DT_ENDPOINT,     1 | USB_DIR_OUT,
             USB_ENDPOINT_XFER_BULK, htole16(packetSize), 0};
    e.in = {sizeof e.in,         USB_DT_ENDPOINT,
            2 | USB_DIR_IN,      USB_ENDPOINT_XFER_BULK,
            htole16(packetSize), 0};
    return e;
}

}  // namespace

bool GadgetPort::Create(const std::string& name, const GadgetIdentity& id, std::string& error) {
    const std::string g = kConfigfs + name, function = g + "/functions/ffs." + name;
    const std::string mountPoint = "/dev/ffs-" + name;
    const bool made = MakeDir(g) && WriteText(g + "/idVendor", Hex(id.vendor)) &&
                      WriteText(g + "/idProduct", Hex(id.product)) &&
                      WriteText(g + "/bcdUSB", "0x0200") && MakeDir(g + "/strings/0x409") &&
                      WriteText(g + "/strings/0x409/serialnumber", id.serial) &&
                      WriteText(g + "/strings/0x409/manufacturer", "fwsim") &&
                      WriteText(g + "/strings/0x409/product", "simulated instrument") &&
                      MakeDir(g + "/configs/c.1") && MakeDir(function) &&
                      (::symlink(function.c_str(), (g + "/configs/c.1/ffs." + name).c_str()) == 0 ||
                       errno == EEXIST) &&
                      MakeDir(mountPoint) &&
                      ::mount(name.c_str(), mountPoint.c_str(), "functionfs", 0, nullptr) == 0;
    if (!made) {
        error = "cannot set up gadget " + name + ": " + std::strerror(errno);
        return false;
    }
    gadgetDir_ = g;
    ep0_.reset(::open((mountPoint + "/ep0").c_str(), O_RDWR | O_CLOEXEC));
    Descriptors d{};
    d.head.magic = htole32(FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    d.head.flags = htole32(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    d.head.length = htole32(sizeof d);
    d.fsCount = d.hsCount = htole32(3);
    d.fs = EndpointsOf(id, 64);
    d.hs = EndpointsOf(id, 512);
    Strings s{};
    s.head = {htole32(FUNCTIONFS_STRINGS_MAGIC), htole32(sizeof s), htole32(1), htole32(1)};
    s.language = htole16(0x0409);
    std::memcpy(s.interfaceName, "USBTMC", 7);
    if (!ep0_ || ::write(ep0(), &d, sizeof d) != sizeof d ||
        ::write(ep0(), &s, sizeof s) != sizeof s) {
        error = "FunctionFS refused the descriptors: " + std::string(std::strerror(errno));
        return false;
    }
    bulkOut_.reset(::open((mountPoint + "/ep1").c_str(), O_RDWR | O_CLOEXEC));
    bulkIn_.reset(::open((mountPoint + "/ep2").c_str(), O_RDWR | O_CLOEXEC));
    if (!bulkOut_ || !bulkIn_) {
        error = "no endpoint files under " + mountPoint;
        return false;
    }
    return true;
}

bool GadgetPort::Bind(const std::string& udc) {
    return WriteText(gadgetDir_ + "/UDC", udc);
}

bool GadgetPort::Unbind() {
    return WriteText(gadgetDir_ + "/UDC", "\n");
}
