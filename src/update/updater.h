#pragma once
// The update procedure of one instrument, free of any front end: from the connection to
// the last section, reported through an UpdateObserver. It holds the VISA sessions and the
// transfer flag; the firmware it writes is given to each run and only read. The window
// (ui/update_dialog.h) and the engine's runs (fleet/) each own one per instrument, so
// several may run at once, one per thread.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/instrument_link.h"

class RunClock;
class UpdateObserver;
class VisaLibrary;
struct FirmwareInfo;
struct ModelRecord;

constexpr uint32_t kSwitchWaitMs = 3500;
constexpr uint32_t kReconnectIntervalMs = 500;

// What the command line changes about a run; the window keeps the defaults.
struct RunOptions {
    // After the switch into writer mode, a failed reopen is tried again every
    // kReconnectIntervalMs until this long after the first try, by the run's clock: a host
    // can take seconds to bind the driver of a re-enumerated instrument. 0: the single
    // reconnect.
    uint32_t reconnectRetryMs = 0;
    // Polled before anything is sent that changes the instrument (the connection, the
    // switch, the reopen), before each section and every 100 ms of the waits after the
    // switch: once set, the run ends with kErrNotComplete, a section being written is
    // finished first.
    const std::atomic<bool>* stopRequested = nullptr;
};

class Updater {
  public:
    // Opens the VISA resource manager; destruction closes it, and every session with it.
    Updater(VisaLibrary& visa, RunClock& clock, const std::string& vid, const std::string& pid);
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    void SetRunOptions(const RunOptions& options) { options_ = options; }

    // The procedure from "Connect ... " on, for `resource`, with a validated `firmware` of
    // `model`: `found` is the number of instruments the confirmation names. Ends with the
    // End event, then the session closed; returns the code.
    int Update(const FirmwareInfo& firmware, const ModelRecord& model, const std::string& resource,
               int32_t found, UpdateObserver& observer);

    // False while sections are being written.
    bool CanClose() const { return transferInProgress_ == 0; }
    int32_t transferInProgress() const { return transferInProgress_; }
    InstrumentLink& link() { return link_; }

  private:
    int ConnectAndWrite(const FirmwareInfo& firmware, const ModelRecord& model,
                        const std::string& resource, int32_t found, UpdateObserver& observer);
    int WriteAllSections(const FirmwareInfo& firmware, const ModelRecord& model,
                         UpdateObserver& observer);
    int Identify(const ModelRecord& model, std::string& reply, UpdateObserver& observer);
    bool StopRequested() const;
    // A pause in which nothing is being written; a stop ends it within 100 ms.
    void WaitUnlessStopped(uint32_t ms);
    int Reconnect(const std::string& resource);

    RunClock& clock_;
    InstrumentLink link_;
    int32_t transferInProgress_ = 0;  // 1 while sections are written; the close guard reads it
    RunOptions options_;
};
