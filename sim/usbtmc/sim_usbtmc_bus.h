#pragma once
// The simulated instruments as the kernel's USBTMC driver offers them, under umockdev: each
// instrument is a USB device with its interface and a usbmisc node /dev/usbtmcN in a
// testbed, whose open, read, write and ioctls (timeout, end of message, clear, halts; any
// other refused with EBADRQC as the driver does) reach the instrument model (SimVisa). No
// bTag, no late reply: what the real driver does is for tests on the real driver.
// A program run with UMOCKDEV_DIR set to root() and libumockdev-preload.so.0 preloaded
// sees them as real ones, through the real libudev and system calls.
//
// Like real instruments, one that was told to switch into writer mode drops off the bus
// once the program closes it and comes back, after `reenumerateMs`, under a new node
// name; and one can be unplugged in the middle of a section.

#include <cstdint>
#include <memory>
#include <string>

class SimVisa;

struct SimUsbtmcOptions {
    uint32_t reenumerateMs = 1000;
    // The instrument (serial) pulled out once its writer has begun section `unplugSection`,
    // after `unplugAfterWrites` further writes. Empty: none.
    std::string unplugSerial;
    int unplugSection = 0;
    int unplugAfterWrites = 3;
    // A driver before Linux 4.19: no timeout or message-attribute ioctl.
    bool oldDriver = false;
    // Replies sent in transfers of at most this many bytes, all but the last without the
    // end of message. 0: whole.
    uint32_t transferBytes = 0;
};

class SimUsbtmcBus {
  public:
    // Plugs in every instrument of `visa` (borrowed), in its order: usbtmc0, usbtmc1, ...
    SimUsbtmcBus(SimVisa& visa, SimUsbtmcOptions options);
    ~SimUsbtmcBus();
    SimUsbtmcBus(const SimUsbtmcBus&) = delete;
    SimUsbtmcBus& operator=(const SimUsbtmcBus&) = delete;

    // The testbed's root, for UMOCKDEV_DIR.
    std::string root() const;
    // Closes the sessions of nodes the program closed, and takes instruments off the bus
    // and back as their state asks. Called every few milliseconds while the program runs.
    void Poll();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
