#pragma once
// The updater of one instrument: the dialog's run-time state (the loaded file, the
// selected model, the VISA sessions, the transfer flag) and the procedures of its two
// buttons, free of any window system. The Windows dialog owns one and forwards its
// buttons here; tests drive it with a recording window and the simulated instrument.
// Each updater has its own state, so several may run at once, one per thread.

#include <atomic>
#include <cstdint>
#include <string>

#include "firmware/firmware_info.h"
#include "instrument/instrument_link.h"

class FirmwareStream;
class VisaLibrary;
class WindowServices;
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

class Updater {
  public:
    // Opens the VISA resource manager, as the dialog's construction does. Destruction is
    // WM_DESTROY's share: the resource manager is closed first, then the sections freed.
    Updater(VisaLibrary& visa, WindowServices& window, const std::string& vid,
            const std::string& pid);
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // OnInitDialog's share: zero the firmware information and the transfer flag.
    void Initialise();
    // Button "...": asks for a file, parses, matches and validates it, shows it and
    // enables Update; reports every failure itself.
    void LoadFirmwareFile();
    // The checks behind the browse button without its dialog: parses the open file into
    // this updater, finds its model and validates it. 0 or the first failing code.
    int ParseFile(FirmwareStream& file);
    // Button "Update": the whole update, from the search on the bus to the final message.
    void RunUpdate();
    // The procedure from "Connect ... " on, for the resource selected in the device list:
    // `found` is the number of instruments the confirmation names. Ends with the final box
    // or the error report, the session closed and the buttons enabled; returns the code.
    int UpdateSelectedInstrument(int32_t found);
    void SetRunOptions(const RunOptions& options) { options_ = options; }
    void BeginBusy();  // disables browse and Update
    void EndBusy();    // enables both

    // False while sections are being written: the close command is then ignored.
    bool CanClose() const { return transferInProgress_ == 0; }

    FirmwareInfo& firmware() { return firmware_; }
    const ModelRecord* selectedModel() const { return selectedModel_; }
    InstrumentLink& link() { return link_; }
    int32_t transferInProgress() const { return transferInProgress_; }

  private:
    int ConnectAndWrite(const ModelRecord& model, int32_t found);
    int WriteAllSections(const ModelRecord& model);
    bool StopRequested() const;
    int Reconnect();

    WindowServices& window_;
    FirmwareInfo firmware_;  // declared before the link: freed after the resource manager closes
    InstrumentLink link_;
    const ModelRecord* selectedModel_ = nullptr;
    int32_t transferInProgress_ = 0;  // 1 while sections are written; the close guard reads it
    RunOptions options_;
};
