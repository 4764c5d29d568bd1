#pragma once
// The eight VISA calls over the kernel's own USBTMC driver (/dev/usbtmcN), for Linux
// machines without a vendor VISA library. Instruments are found through udev and opened
// by the node that holds them at the moment of opening: an instrument that comes back
// under another node (after the switch into writer mode) is found again.
//
// Statuses as vendor libraries give them: an instrument not present (or gone before the
// open) VI_ERROR_RSRC_NFOUND; a read that ends by its timeout VI_ERROR_TMO; an instrument
// unplugged during a read or write VI_ERROR_CONN_LOST; a read that fills the count before
// the end of the message VI_SUCCESS_MAX_CNT. After a timeout or a failed transfer the
// instrument's input and output are cleared, so a late reply is never taken for the next
// one. Thread-safe: each instrument may be worked from its own thread.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "visa/visa_library.h"

// The udev rule that gives the instrument's nodes to its users, as installed by the package.
constexpr char kUsbtmcUdevRule[] = "/usr/lib/udev/rules.d/60-k4417f-usbtmc.rules";
// The driver refuses shorter timeouts.
constexpr ViUInt32 kUsbtmcMinTimeoutMs = 100;
// The driver hands its timeout to the USB core as an int: longer ones are cut to this.
constexpr ViUInt32 kUsbtmcMaxTimeoutMs = 0x7FFFFFFF;

class UsbtmcVisaLibrary : public VisaLibrary {
  public:
    UsbtmcVisaLibrary();
    ~UsbtmcVisaLibrary() override;

#define USBTMC_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(USBTMC_DECLARE_METHOD)
#undef USBTMC_DECLARE_METHOD

    std::string AccessProblem(const std::string& resource) override;

  private:
    struct Session;
    std::shared_ptr<Session> Find(ViObject handle);
    ViObject Add(std::shared_ptr<Session> session);

    std::mutex mutex_;
    std::map<ViObject, std::shared_ptr<Session>> sessions_;
    ViObject next_ = 1;
};

// Why the calling user may not open `node` (read and write), naming the node and the udev
// rule; empty when it may.
std::string UsbtmcAccessProblem(const std::string& node);
