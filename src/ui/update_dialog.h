#pragma once
// The dialog's logic, free of any window system: its run-time state (the loaded file, its
// model, the updater) and the procedures of its two buttons. The update procedure's events
// land on the controls here, message for message: the log pane, the section counter
// "k / n", the progress bar (range 3 x sectors + 1, one step at a time), the boxes. The
// Windows dialog owns one and forwards its buttons; tests drive it with a recording window
// and the simulated instrument.

#include <cstdint>
#include <string>

#include "base/run_clock.h"
#include "firmware/firmware_info.h"
#include "instrument/update_observer.h"
#include "update/updater.h"

class FirmwareStream;
class VisaLibrary;
class WindowServices;
struct ModelRecord;

class UpdateDialog : private UpdateObserver, private RunClock {
  public:
    // Opens the VISA resource manager, as the dialog's construction does. Destruction is
    // WM_DESTROY's share: the resource manager is closed first, then the sections freed.
    UpdateDialog(VisaLibrary& visa, WindowServices& window, const std::string& vid,
                 const std::string& pid);
    UpdateDialog(const UpdateDialog&) = delete;
    UpdateDialog& operator=(const UpdateDialog&) = delete;

    // OnInitDialog's share: zero the firmware information.
    void Initialise();
    // Button "...": asks for a file, parses, matches and validates it, shows it and
    // enables Update; reports every failure itself.
    void LoadFirmwareFile();
    // The checks behind the browse button without its dialog: parses the open file, finds
    // its model and validates it. 0 or the first failing code.
    int ParseFile(FirmwareStream& file);
    // Button "Update": the whole update, from the search on the bus to the final message.
    void RunUpdate();
    // The procedure from "Connect ... " on, for the resource selected in the device list:
    // `found` is the number of instruments the confirmation names. Ends with the final box
    // or the error report, the session closed and the buttons enabled; returns the code.
    int UpdateSelectedInstrument(int32_t found);
    void SetRunOptions(const RunOptions& options) { updater_.SetRunOptions(options); }
    void BeginBusy();  // disables browse and Update
    void EndBusy();    // enables both

    // False while sections are being written: the close command is then ignored.
    bool CanClose() const { return updater_.CanClose(); }

    FirmwareInfo& firmware() { return firmware_; }
    const ModelRecord* selectedModel() const { return selectedModel_; }
    InstrumentLink& link() { return updater_.link(); }
    // The procedure's events as this dialog shows them, for driving one part of it alone.
    UpdateObserver& events() { return *this; }
    int32_t transferInProgress() const { return updater_.transferInProgress(); }

  private:
    // The run's events on the controls.
    void Log(const std::string& text, LogEnd end) override;
    bool Confirm(int32_t found, const std::string& serial) override;
    void Identified(const std::string&) override {}
    void WriterSessionBegins() override { BeginBusy(); }
    void Section(int index, int count, const SectionSpec& region, uint32_t bytes) override;
    void Progress(uint32_t done, uint32_t total) override;
    void SectionWritten(int, int, const SectionSpec&) override {}  // the log says it
    void End(int code) override;
    // The run's pauses are the window's.
    void Sleep(uint32_t ms) override;
    uint64_t NowMs() override;

    WindowServices& window_;
    FirmwareInfo firmware_;  // declared before the updater: freed after the resource manager closes
    const ModelRecord* selectedModel_ = nullptr;
    Updater updater_;
};
