#pragma once
// The Update button: the whole update of one instrument, from the search on the bus to
// the final message.

#include <cstdint>

class InstrumentLink;
class WindowServices;
struct FirmwareInfo;
struct ModelRecord;

constexpr uint32_t kSwitchWaitMs = 3500;

struct UpdateState {
    WindowServices& window;
    InstrumentLink& link;
    FirmwareInfo& firmware;
    const ModelRecord*& selectedModel;
    int32_t& transferInProgress;  // 1 while sections are written; the close guard reads it
};

void BeginBusy(WindowServices& window);  // disables browse and Update
void EndBusy(WindowServices& window);    // enables both
void RunUpdate(UpdateState& state);
// The procedure from "Connect ... " on, for the resource selected in the device list:
// `found` is the number of instruments the confirmation names. Ends with the final box or
// the error report, the session closed and the buttons enabled; returns the run's code.
int UpdateSelectedInstrument(UpdateState& state, int32_t found);
