#pragma once
// The Update button: the whole update of one instrument, from the search on the bus to
// the final message.

#include <atomic>
#include <cstdint>

class InstrumentLink;
class WindowServices;
struct FirmwareInfo;
struct ModelRecord;

constexpr uint32_t kSwitchWaitMs = 3500;
constexpr uint32_t kReconnectIntervalMs = 500;

// What the command line changes about a run; the dialog keeps the defaults.
struct RunOptions {
    // After the switch into writer mode, a failed reopen is tried again every
    // kReconnectIntervalMs for this long: a host can take seconds to bind the driver of a
    // re-enumerated instrument. 0: the single reconnect.
    uint32_t reconnectRetryMs = 0;
    // Polled before anything is sent that changes the instrument (the connection, the
    // switch, the reopen) and before each section: once set, the run ends with
    // kErrNotComplete, a section being written is finished first.
    const std::atomic<bool>* stopRequested = nullptr;
};

struct UpdateState {
    WindowServices& window;
    InstrumentLink& link;
    FirmwareInfo& firmware;
    const ModelRecord*& selectedModel;
    int32_t& transferInProgress;  // 1 while sections are written; the close guard reads it
    RunOptions options = {};
};

void BeginBusy(WindowServices& window);  // disables browse and Update
void EndBusy(WindowServices& window);    // enables both
void RunUpdate(UpdateState& state);
// The procedure from "Connect ... " on, for the resource selected in the device list:
// `found` is the number of instruments the confirmation names. Ends with the final box or
// the error report, the session closed and the buttons enabled; returns the run's code.
int UpdateSelectedInstrument(UpdateState& state, int32_t found);
