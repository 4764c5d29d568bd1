#pragma once
// The engine's runs: one instrument's update (the window's procedure from "Connect ... "
// on, answered yes: the front end asked already) or dry run, and a batch of them at once,
// one thread per instrument. Every run reads the one parsed image; what a run owns of its
// own is its updater (sessions, transfer flag) and its line buffer.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "fleet/fleet_events.h"

class RunClock;
class VisaLibrary;
struct FirmwareImage;

// After the switch into writer mode, how long a failed reopen is retried.
constexpr uint32_t kFleetReconnectRetryMs = 20000;

struct BatchSetup {
    VisaLibrary& visa;
    const FirmwareImage& image;  // valid (its model set)
    FleetEvents& events;
    RunClock& clock;
    // Polled by every run (see RunOptions); may be null.
    const std::atomic<bool>* stop = nullptr;
    // Connect, identify and compare revisions only: sends nothing but "*IDN?\n".
    bool dryRun = false;
    uint32_t reconnectRetryMs = kFleetReconnectRetryMs;
};

// One instrument, on the calling thread. The End event is left to the caller.
RunEnd RunInstrument(const BatchSetup& setup, const std::string& resource);
// Every instrument of `chosen` at once, each on its own thread, which reports its End event
// when its run is over; returns the ends in the order chosen.
std::vector<RunEnd> RunBatch(const BatchSetup& setup, const std::vector<std::string>& chosen);
