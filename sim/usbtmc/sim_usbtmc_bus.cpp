#include "sim_usbtmc_bus.h"

#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "sim_visa.h"
#include "visa/usb_resource_name.h"

namespace {

enum class Op { kRead, kWrite, kIoctl };

uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

struct SimUsbtmcBus::Impl {
    // One instrument's USB port. The testbed's worker thread only queues the requests of the
    // port's nodes; the port's own thread answers them in order, so a read that waits for its
    // timeout holds up that instrument alone, as with the real driver.
    struct Port {
        struct Request {
            Op op;
            UMockdevIoctlClient* client;  // referenced while queued
        };
        Impl* bus = nullptr;
        size_t index = 0;
        std::string serial;
        std::thread thread;

        // Guarded by the bus's mutex.
        std::deque<Request> requests;
        std::condition_variable wake;
        bool plugged = false;
        bool pulled = false;      // unplugged mid-section: gone for good
        bool leaving = false;     // told to switch into writer mode: drops off once closed
        uint64_t returnAtMs = 0;  // off the bus until then (0: not coming back by itself)
        std::string node;         // "/dev/usbtmc3"
        std::string usbPath, interfacePath, nodePath;
        UMockdevIoctlBase* handler = nullptr;
        std::map<UMockdevIoctlClient*, ViSession> sessions;  // the open files of this plug-in
        std::map<UMockdevIoctlClient*, bool> endOfMessage;   // of each file's last read
        int writesInSection = -1;  // counted from the section that pulls the plug
    };

    SimVisa& visa;
    SimUsbtmcOptions options;
    UMockdevTestbed* testbed = nullptr;
    ViSession rm = 0;
    int nextNode = 0;
    std::mutex mutex;
    bool stopping = false;
    std::vector<std::unique_ptr<Port>> ports;

    Impl(SimVisa& v, SimUsbtmcOptions o) : visa(v), options(std::move(o)) {}

    void Plug(Port& port);
    void Unplug(Port& port);
    void Serve(Port& port);
    void Answer(Port& port, Op op, UMockdevIoctlClient* client);
    void AnswerIoctl(Port& port, ViSession session, UMockdevIoctlClient* client);
    // The port's session for `client`, opened at its first request; 0 when the node is
    // gone (unplugged, or off the bus since the client opened it).
    ViSession SessionOf(Port& port, UMockdevIoctlClient* client);

    // The signal handlers of a port's node: queue the request for the port's thread.
    template <Op op>
    static gboolean Queue(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
        Port& port = *static_cast<Port*>(data);
        {
            std::lock_guard<std::mutex> lock(port.bus->mutex);
            port.requests.push_back({op, static_cast<UMockdevIoctlClient*>(g_object_ref(client))});
        }
        port.wake.notify_one();
        return TRUE;
    }
};

void SimUsbtmcBus::Impl::Plug(Port& port) {
    const std::string portName = "1-" + std::to_string(port.index + 1);
    const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + portName;
    const std::string name = "usbtmc" + std::to_string(nextNode++);
    // The identities as sysfs gives them: "0d3f" and "1141".
    UsbResourceName identity;
    ParseUsbResourceName(visa.instrument(port.index).resource(), identity);
    char vendor[8], product[8];
    std::snprintf(vendor, sizeof vendor, "%04x", identity.vendor);
    std::snprintf(product, sizeof product, "%04x", identity.product);
    const std::string devices = usb.substr(4);  // the description's paths omit "/sys"
    const std::string description =
        "P: " + devices + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + vendor +
        "\nA: idProduct=" + product + "\nA: serial=" + port.serial + "\n\nP: " + devices + "/" +
        portName + ":1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n" +
        "A: bInterfaceNumber=00\nA: bInterfaceClass=fe\nA: bInterfaceSubClass=03\n" +
        "A: bInterfaceProtocol=01\n\nP: " + devices + "/" + portName + ":1.0/usbmisc/" + name +
        "\nN: " + name + "\nE: SUBSYSTEM=usbmisc\nE: DEVNAME=/dev/" + name +
        "\nE: MAJOR=180\nE: MINOR=" + std::to_string(176 + nextNode - 1) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, description.c_str(), &error)) {
        g_printerr("fwsim-usbtmc: %s\n", error->message);
        g_clear_error(&error);
        return;
    }
    port.node = "/dev/" + name;
    port.usbPath = usb;
    port.interfacePath = usb + "/" + portName + ":1.0";
    port.nodePath = port.interfacePath + "/usbmisc/" + name;
    port.handler = umockdev_ioctl_base_new();
    g_signal_connect(port.handler, "handle-read", G_CALLBACK(Queue<Op::kRead>), &port);
    g_signal_connect(port.handler, "handle-write", G_CALLBACK(Queue<Op::kWrite>), &port);
    g_signal_connect(port.handler, "handle-ioctl", G_CALLBACK(Queue<Op::kIoctl>), &port);
    umockdev_testbed_attach_ioctl(testbed, port.node.c_str(), port.handler, nullptr);
    port.plugged = true;
    g_printerr("fwsim-usbtmc: %s on the bus as %s\n", port.serial.c_str(), port.node.c_str());
    port.leaving = false;
    port.returnAtMs = 0;
}

void SimUsbtmcBus::Impl::Unplug(Port& port) {
    if (!port.plugged) return;
    umockdev_testbed_detach_ioctl(testbed, port.node.c_str(), nullptr);
    g_object_unref(port.handler);
    port.handler = nullptr;
    for (const std::string* path : {&port.nodePath, &port.interfacePath, &port.usbPath})
        umockdev_testbed_remove_device(testbed, path->c_str());
    // umockdev 0.17 leaves the bus and class links behind; a device added again under the
    // same name would trip over them.
    char* sys = umockdev_testbed_get_sys_dir(testbed);
    const std::string port_name = port.usbPath.substr(port.usbPath.rfind('/') + 1);
    for (const std::string& link : {std::string(sys) + "/bus/usb/devices/" + port_name,
                                    std::string(sys) + "/bus/usb/devices/" + port_name + ":1.0",
                                    std::string(sys) + "/class/usbmisc/" + port.node.substr(5)})
        ::unlink(link.c_str());
    g_free(sys);
    port.plugged = false;
    g_printerr("fwsim-usbtmc: %s off the bus\n", port.serial.c_str());
}

ViSession SimUsbtmcBus::Impl::SessionOf(Port& port, UMockdevIoctlClient* client) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!port.plugged || port.pulled) return 0;
    auto known = port.sessions.find(client);
    if (known != port.sessions.end()) return known->second;
    lock.unlock();
    ViSession session = 0;
    visa.viOpen(rm, visa.instrument(port.index).resource().c_str(), 0, 0, &session);
    lock.lock();
    port.sessions.emplace(static_cast<UMockdevIoctlClient*>(g_object_ref(client)), session);
    return session;
}

void SimUsbtmcBus::Impl::AnswerIoctl(Port& port, ViSession session, UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    // A driver before Linux 4.19 has neither the timeout nor the message attributes, and
    // refuses what it does not know as the real one does.
    const bool known = request == USBTMC_IOCTL_CLEAR || request == USBTMC_IOCTL_CLEAR_IN_HALT ||
                       request == USBTMC_IOCTL_CLEAR_OUT_HALT ||
                       (!options.oldDriver && (request == USBTMC_IOCTL_SET_TIMEOUT ||
                                               request == USBTMC_IOCTL_MSG_IN_ATTR));
    if (!known) {
        umockdev_ioctl_client_complete(client, -1, EBADRQC);
        return;
    }
    if (request == USBTMC_IOCTL_CLEAR) {
        SimInstrument& instrument = visa.instrument(port.index);
        while (instrument.HasReply()) instrument.DropReply();
        g_printerr("fwsim-usbtmc: %s cleared\n", port.serial.c_str());
    } else if (request == USBTMC_IOCTL_MSG_IN_ATTR) {
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint8_t), nullptr);
        uint8_t attributes = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            attributes = port.endOfMessage[client] ? 1 : 0;
        }
        if (value) umockdev_ioctl_data_update(value, 0, &attributes, sizeof attributes);
    } else if (request == USBTMC_IOCTL_SET_TIMEOUT) {
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        uint32_t ms = 0;
        if (value) std::memcpy(&ms, value->data, sizeof ms);
        if (!value || ms < 100) {  // the driver's floor
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return;
        }
        visa.viSetAttribute(session, VI_ATTR_TMO_VALUE, ms);
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void SimUsbtmcBus::Impl::Answer(Port& port, Op op, UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const ViSession session = SessionOf(port, client);
    if (session == 0) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    if (op == Op::kIoctl) {
        AnswerIoctl(port, session, client);
        return;
    }
    std::vector<uint8_t> bytes(arg->data, arg->data + arg->data_len);
    ViUInt32 count = 0;
    if (op == Op::kRead) {
        const ViUInt32 length = static_cast<ViUInt32>(arg->data_len);
        const ViUInt32 asked = options.transferBytes && options.transferBytes < length
                                   ? options.transferBytes
                                   : length;
        const ViStatus status = visa.viRead(session, bytes.data(), asked, &count);
        {
            std::lock_guard<std::mutex> lock(mutex);
            // What the instrument kept back of its reply comes in the next transfer.
            port.endOfMessage[client] =
                status == VI_SUCCESS || !visa.instrument(port.index).HasReply();
        }
        if (status == VI_ERROR_TMO) {
            umockdev_ioctl_client_complete(client, -1, ETIMEDOUT);
        } else if (status < 0) {
            umockdev_ioctl_client_complete(client, -1, EIO);
        } else {
            umockdev_ioctl_data_update(arg, 0, bytes.data(), static_cast<gint>(count));
            umockdev_ioctl_client_complete(client, count, 0);
        }
        return;
    }
    const ViStatus status = visa.viWrite(session, bytes.data(), arg->data_len, &count);
    const SimInstrument& instrument = visa.instrument(port.index);
    bool pull = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        port.leaving = instrument.switchPending();
        if (port.serial == options.unplugSerial && instrument.inWriterMode() &&
            instrument.sectionsBegun() >= options.unplugSection &&
            ++port.writesInSection > options.unplugAfterWrites) {
            pull = true;
            port.pulled = true;
        }
    }
    if (pull)
        umockdev_ioctl_client_complete(client, -1, ENODEV);
    else if (status < 0)
        umockdev_ioctl_client_complete(client, -1, EIO);
    else
        umockdev_ioctl_client_complete(client, count, 0);
}

void SimUsbtmcBus::Impl::Serve(Port& port) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        port.wake.wait(lock, [&] { return stopping || !port.requests.empty(); });
        if (stopping) break;
        const Port::Request request = port.requests.front();
        port.requests.pop_front();
        lock.unlock();
        Answer(port, request.op, request.client);
        g_object_unref(request.client);
        lock.lock();
    }
    for (const Port::Request& request : port.requests) {
        umockdev_ioctl_client_complete(request.client, -1, ENODEV);
        g_object_unref(request.client);
    }
    port.requests.clear();
}

SimUsbtmcBus::SimUsbtmcBus(SimVisa& visa, SimUsbtmcOptions options)
    : impl_(std::make_unique<Impl>(visa, std::move(options))) {
    impl_->testbed = umockdev_testbed_new();
    visa.viOpenDefaultRM(&impl_->rm);
    for (size_t i = 0; i < visa.instrumentCount(); ++i) {
        auto port = std::make_unique<Impl::Port>();
        port->bus = impl_.get();
        port->index = i;
        port->serial = visa.instrument(i).serial();
        impl_->Plug(*port);
        impl_->ports.push_back(std::move(port));
    }
    for (auto& port : impl_->ports)
        port->thread = std::thread([this, p = port.get()] { impl_->Serve(*p); });
}

SimUsbtmcBus::~SimUsbtmcBus() {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->stopping = true;
    }
    for (auto& port : impl_->ports) {
        port->wake.notify_one();
        port->thread.join();
    }
    for (auto& port : impl_->ports) {
        for (auto& entry : port->sessions) {
            if (entry.second) impl_->visa.viClose(entry.second);
            g_object_unref(entry.first);
        }
        impl_->Unplug(*port);
    }
    impl_->visa.viClose(impl_->rm);
    g_object_unref(impl_->testbed);
}

std::string SimUsbtmcBus::root() const {
    char* dir = umockdev_testbed_get_root_dir(impl_->testbed);
    std::string root = dir;
    g_free(dir);
    return root;
}

void SimUsbtmcBus::Poll() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (auto& port : impl_->ports) {
        // 0.17 never reports a close: a client that is no longer connected closed its file.
        for (auto it = port->sessions.begin(); it != port->sessions.end();) {
            if (umockdev_ioctl_client_get_connected(it->first)) {
                ++it;
                continue;
            }
            if (it->second) impl_->visa.viClose(it->second);
            port->endOfMessage.erase(it->first);
            g_object_unref(it->first);
            it = port->sessions.erase(it);
        }
        if (port->plugged && port->pulled) impl_->Unplug(*port);
        if (port->plugged && port->leaving && port->sessions.empty()) {
            impl_->Unplug(*port);
            port->returnAtMs = NowMs() + impl_->options.reenumerateMs;
        }
        if (!port->plugged && !port->pulled && port->returnAtMs && NowMs() >= port->returnAtMs)
            impl_->Plug(*port);
    }
}
