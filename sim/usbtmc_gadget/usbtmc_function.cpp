#include "usbtmc_function.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <linux/usb/tmc.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sim_instrument.h"

namespace {

constexpr size_t kHeader = 12;
constexpr uint8_t kDevDepMsgOut = 1, kRequestDevDepMsgIn = 2, kDevDepMsgIn = 2;
constexpr size_t kPacket = 512;  // one high-speed bulk packet: a read never waits for more

uint32_t Le32(const uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

size_t Padded(size_t size) {
    return (size + 3) & ~size_t{3};
}

void Log(const char* format, const std::string& text) {
    std::fprintf(stderr, "fwsim-usbtmc-gadget: ");
    std::fprintf(stderr, format, text.c_str());
    std::fputc('\n', stderr);
}

}  // namespace

UsbtmcFunction::UsbtmcFunction(SimVisa& visa, size_t index, GadgetPort& port,
                               UsbtmcFunctionOptions options)
    : visa_(visa), index_(index), port_(port), options_(std::move(options)) {}

bool UsbtmcFunction::Run() {
    // A signal without SA_RESTART is how a blocked endpoint write is called back.
    struct sigaction wake {};
    wake.sa_handler = [](int) {};
    sigaction(SIGUSR1, &wake, nullptr);
    const std::string resource = visa_.instrument(index_).resource();
    visa_.viOpenDefaultRM(&rm_);
    visa_.viOpen(rm_, resource.c_str(), 0, 0, &session_);
    std::thread(&UsbtmcFunction::ServeControl, this).detach();
    std::thread(&UsbtmcFunction::ServeBulkOut, this).detach();
    bulkIn_ = std::thread(&UsbtmcFunction::ServeBulkIn, this);
    if (!port_.Bind(options_.udc)) return false;
    Log("%s plugged in", resource);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return event_ != BusEvent::kNone; });
        const BusEvent event = std::exchange(event_, BusEvent::kNone);
        if (event == BusEvent::kUnplug) {
            port_.Unbind();
            Log("%s pulled out", resource);
            continue;
        }
        // The switch into writer mode: the host closes the node, the instrument restarts.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port_.Unbind();
        lock.lock();
        visa_.viClose(session_);
        visa_.viOpen(rm_, resource.c_str(), 0, 0, &session_);
        splitRest_.clear();
        requests_.clear();
        lock.unlock();
        Log("%s off the bus, restarting", resource);
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.reenumerateMs));
        port_.Bind(options_.udc);
        Log("%s back on the bus", resource);
        lock.lock();
    }
}

void UsbtmcFunction::CancelInFlight() {
    ++clears_;
    if (inFlight_) pthread_kill(bulkIn_.native_handle(), SIGUSR1);
}

void UsbtmcFunction::ServeControl() {
    usb_functionfs_event events[4];
    for (;;) {
        const ssize_t n = ::read(port_.ep0(), events, sizeof events);
        if (n <= 0) {
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof events[0]); ++i)
            if (events[i].type == FUNCTIONFS_SETUP) Setup(events[i].u.setup);
    }
}

void UsbtmcFunction::Setup(const usb_ctrlrequest& setup) {
    const uint16_t length = le16toh(setup.wLength);
    std::vector<uint8_t> answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        SimInstrument& instrument = visa_.instrument(index_);
        const uint8_t tag = le16toh(setup.wValue) & 0xff;
        switch ((setup.bRequestType & USB_TYPE_MASK) == USB_TYPE_CLASS ? setup.bRequest : 0) {
            case USBTMC_REQUEST_GET_CAPABILITIES:
                answer.assign(0x18, 0);
                answer[0] = USBTMC_STATUS_SUCCESS;
                answer[2] = 0x00, answer[3] = 0x01;  // bcdUSBTMC 1.00; no optional abilities
                break;
            case USBTMC_REQUEST_INITIATE_CLEAR:
                // Everything the instrument meant to say is forgotten, sent or not.
                while (instrument.HasReply()) instrument.DropReply();
                requests_.clear();
                splitRest_.clear();
                dropOut_ = true;
                CancelInFlight();
                answer = {USBTMC_STATUS_SUCCESS};
                break;
            case USBTMC_REQUEST_CHECK_CLEAR_STATUS:
                if (inFlight_) CancelInFlight();
                answer = {
                    static_cast<uint8_t>(inFlight_ ? USBTMC_STATUS_PENDING : USBTMC_STATUS_SUCCESS),
                    0};
                break;
            case USBTMC_REQUEST_INITIATE_ABORT_BULK_IN: {
                // Only the transfer the host names can be aborted.
                uint8_t status = USBTMC_STATUS_FAILED;
                if (serving_ && servingTag_ == tag) {
                    CancelInFlight();
                    status = USBTMC_STATUS_SUCCESS;
                } else if (serving_) {
                    status = USBTMC_STATUS_TRANSFER_NOT_IN_PROGRESS;
                }
                answer = {status, serving_ ? servingTag_ : tag};
                break;
            }
            case USBTMC_REQUEST_CHECK_ABORT_BULK_IN_STATUS:
            case USBTMC_REQUEST_CHECK_ABORT_BULK_OUT_STATUS:
                if (inFlight_) CancelInFlight();  // the first call back may have come too early
                answer.assign(8, 0);
                answer[0] = inFlight_ ? USBTMC_STATUS_PENDING : USBTMC_STATUS_SUCCESS;
                break;
            case USBTMC_REQUEST_INITIATE_ABORT_BULK_OUT:
                dropOut_ = true;
                answer = {USBTMC_STATUS_SUCCESS, tag};
                break;
            default:
                break;
        }
    }
    // FunctionFS stalls ep0 when the data stage goes the wrong way: no OUT request is known.
    if (!(setup.bRequestType & USB_DIR_IN)) {
        (void)::write(port_.ep0(), nullptr, 0);
        return;
    }
    if (answer.empty()) {
        (void)::read(port_.ep0(), nullptr, 0);
        return;
    }
    if (answer.size() > length) answer.resize(length);
    (void)::write(port_.ep0(), answer.data(), answer.size());
}

void UsbtmcFunction::ServeBulkOut() {
    std::vector<uint8_t> stream;
    std::string message;  // DEV_DEP_MSG_OUT data so far, until EOM
    uint8_t packet[kPacket];
    for (;;) {
        const ssize_t n = ::read(port_.bulkOut(), packet, sizeof packet);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (dropOut_ || n < 0) stream.clear(), message.clear();
            dropOut_ = false;
        }
        if (n < 0) {
            // Unbound, or a transfer the host gave up: wait for the next one.
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        stream.insert(stream.end(), packet, packet + n);
        while (stream.size() >= kHeader) {
            const uint8_t id = stream[0], tag = stream[1];
            const uint32_t size = Le32(&stream[4]);
            if (stream[2] != static_cast<uint8_t>(~tag) ||
                (id != kDevDepMsgOut && id != kRequestDevDepMsgIn)) {
                Log("%s", "a bulk-out header out of step: dropped");
                stream.clear();
                break;
            }
            if (id == kRequestDevDepMsgIn) {
                stream.erase(stream.begin(), stream.begin() + kHeader);
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back({tag, size});
                changed_.notify_all();
                continue;
            }
            const size_t total = Padded(kHeader + size);
            if (stream.size() < total) break;
            message.append(stream.begin() + kHeader, stream.begin() + kHeader + size);
            const bool endOfMessage = stream[8] & 1;
            stream.erase(stream.begin(), stream.begin() + total);
            if (endOfMessage) Message(id, tag, std::exchange(message, std::string()));
        }
    }
}

void UsbtmcFunction::Message(uint8_t, uint8_t, const std::string& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pulled_) return;
    ViUInt32 written = 0;
    visa_.viWrite(session_, reinterpret_cast<const ViByte*>(data.data()),
                  static_cast<ViUInt32>(data.size()), &written);
    const SimInstrument& instrument = visa_.instrument(index_);
    if (instrument.switchPending()) {
        event_ = BusEvent::kSwitch;
    } else if (options_.unplugSection > 0 && instrument.inWriterMode() &&
               instrument.sectionsBegun() >= options_.unplugSection &&
               ++writesInSection_ > options_.unplugAfterWrites) {
        pulled_ = true;
        event_ = BusEvent::kUnplug;
    }
    changed_.notify_all();
}

void UsbtmcFunction::ServeBulkIn() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;; serving_ = false) {
        changed_.wait(lock, [&] { return !requests_.empty(); });
        const Request request = requests_.front();
        requests_.pop_front();
        const uint64_t clears = clears_;
        serving_ = true;
        servingTag_ = request.tag;
        const auto fault = options_.faults.find(++requestCount_);
        SimInstrument& instrument = visa_.instrument(index_);
        std::string body;
        bool endOfMessage = true;
        if (!splitRest_.empty()) {
            body = std::exchange(splitRest_, std::string());
        } else if (instrument.HasReply()) {
            body.resize(request.size);
            ViUInt32 count = 0;
            const ViStatus status =
                visa_.viRead(session_, reinterpret_cast<ViByte*>(&body[0]), request.size, &count);
            body.resize(count);
            endOfMessage = !(status == VI_SUCCESS_MAX_CNT && instrument.HasReply());
        } else {
            continue;  // nothing to say: the host's read runs into its timeout
        }
        if (fault != options_.faults.end()) {
            switch (fault->second) {
                case ReplyFault::kSilent:
                    continue;
                case ReplyFault::kStall: {
                    // Reading an IN endpoint's file halts the endpoint.
                    char none;
                    (void)::read(port_.bulkIn(), &none, 1);
                    continue;
                }
                case ReplyFault::kSplit:
                    if (body.size() > 1 && endOfMessage) {
                        splitRest_ = body.substr(body.size() / 2);
                        body.resize(body.size() / 2);
                        endOfMessage = false;
                    }
                    break;
                case ReplyFault::kLate:
                    changed_.wait_for(lock, std::chrono::milliseconds(options_.lateMs),
                                      [&] { return clears_ != clears; });
                    break;
            }
        }
        if (clears_ != clears) continue;  // cleared or aborted before it went out
        inFlight_ = true;
        lock.unlock();
        Send(request.tag, body, endOfMessage);
        lock.lock();
        inFlight_ = false;
        changed_.notify_all();
    }
}

void UsbtmcFunction::Send(uint8_t tag, const std::string& body, bool endOfMessage) {
    std::vector<uint8_t> transfer(Padded(kHeader + body.size()), 0);
    transfer[0] = kDevDepMsgIn;
    transfer[1] = tag;
    transfer[2] = static_cast<uint8_t>(~tag);
    for (int i = 0; i < 4; ++i) transfer[4 + i] = static_cast<uint8_t>(body.size() >> (8 * i));
    transfer[8] = endOfMessage ? 1 : 0;
    std::memcpy(&transfer[kHeader], body.data(), body.size());
    // A transfer of whole packets would leave the host waiting for a short one: pad it.
    if (transfer.size() % kPacket == 0) transfer.resize(transfer.size() + 4, 0);
    if (::write(port_.bulkIn(), transfer.data(), transfer.size()) < 0)
        Log("a reply was not taken: %s", std::strerror(errno));
}
