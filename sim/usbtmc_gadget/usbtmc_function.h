#pragma once
// One simulated instrument (SimVisa's instrument `index`) as a USBTMC device: the device's
// side of the bulk protocol on a GadgetPort (DEV_DEP_MSG_OUT, REQUEST_DEV_DEP_MSG_IN and
// the DEV_DEP_MSG_IN replies, with their bTag, TransferSize and EOM) and of the class
// requests the host's driver sends on ep0 (GET_CAPABILITIES, INITIATE_CLEAR and
// CHECK_CLEAR_STATUS, the bulk aborts and their status checks).
//
// Like the real instrument it drops off the bus when told to switch into writer mode and
// comes back as the writer; it can be pulled out mid-section, and it can play faults on
// the host's reply requests.

#include <linux/usb/ch9.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "gadget_port.h"
#include "sim_visa.h"

enum class ReplyFault {
    kLate,    // sent after the host's read has timed out, unless the host clears first
    kSplit,   // two transfers, end of message only on the second
    kSilent,  // never sent
    kStall,   // the bulk-in endpoint halts instead
};

struct UsbtmcFunctionOptions {
    std::string udc;
    uint32_t reenumerateMs = 1000;
    uint32_t lateMs = 6000;
    int unplugSection = 0;  // 0: never pulled out
    int unplugAfterWrites = 3;
    std::map<int, ReplyFault> faults;  // by the host's reply request, counted from 1
};

class UsbtmcFunction {
  public:
    UsbtmcFunction(SimVisa& visa, size_t index, GadgetPort& port, UsbtmcFunctionOptions options);
    // Serves the instrument until the process ends; false when it cannot be plugged in.
    bool Run();

  private:
    struct Request {
        uint8_t tag;
        uint32_t size;
    };
    enum class BusEvent { kNone, kSwitch, kUnplug };

    void ServeControl();
    void ServeBulkOut();
    void ServeBulkIn();
    void Setup(const usb_ctrlrequest& setup);
    void Message(uint8_t id, uint8_t tag, const std::string& data);
    void Send(uint8_t tag, const std::string& body, bool endOfMessage);
    // Ends a transfer the bulk-in endpoint is waiting to deliver. Under `mutex_`.
    void CancelInFlight();

    SimVisa& visa_;
    size_t index_;
    GadgetPort& port_;
    UsbtmcFunctionOptions options_;
    ViSession rm_ = 0;

    std::mutex mutex_;  // guards the model and everything below
    std::condition_variable changed_;
    ViSession session_ = 0;
    std::deque<Request> requests_;
    int requestCount_ = 0;
    uint64_t clears_ = 0;   // bumped by every clear or abort of the bulk-in side
    bool serving_ = false;  // a reply request is being answered (waiting or being sent)
    uint8_t servingTag_ = 0;
    bool inFlight_ = false;  // its transfer waits for the host to take it
    bool dropOut_ = false;   // the host aborted the bulk-out transfer
    std::string splitRest_;
    int writesInSection_ = 0;
    BusEvent event_ = BusEvent::kNone;
    bool pulled_ = false;
    std::thread bulkIn_;
};
