#pragma once
// One instrument's run, on its own thread with its own state: the firmware file parsed
// anew, its own sessions, window and transfer flag. The update is the dialog's procedure
// from "Connect ... " on; the dry run only connects, identifies and compares revisions.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "run_events.h"

class VisaLibrary;

struct InstrumentRunSetup {
    std::string file;  // validated before any run starts
    VisaLibrary& visa;
    RunEvents& events;
    std::function<void(uint32_t)> sleep;
    std::function<uint64_t()> nowMs;
    const std::atomic<bool>* stop;
    bool dryRun = false;
};

// After the switch into writer mode, how long a failed reopen is retried.
constexpr uint32_t kCommandReconnectRetryMs = 20000;

// Runs `resource`; `revisions` receives the revision field of the instrument's first
// identification (empty when there was none).
RunEnd RunInstrument(const InstrumentRunSetup& setup, const std::string& resource,
                     std::string& revisions);
