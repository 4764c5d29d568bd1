#pragma once
// The updater of one instrument: the dialog's run-time state (the loaded file, the
// selected model, the VISA sessions, the transfer flag) and the procedures of its two
// buttons, free of any window system. The Windows dialog owns one and forwards its
// buttons here; tests drive it with a recording window and the simulated instrument.
// Each updater has its own state, so several may run at once, one per thread.

#include <cstdint>
#include <string>

#include "firmware/firmware_info.h"
#include "instrument/instrument_link.h"

class VisaLibrary;
class WindowServices;
struct ModelRecord;

constexpr uint32_t kSwitchWaitMs = 3500;

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
    // Button "Update": the whole update, from the search on the bus to the final message.
    void RunUpdate();
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

    WindowServices& window_;
    FirmwareInfo firmware_;  // declared before the link: freed after the resource manager closes
    InstrumentLink link_;
    const ModelRecord* selectedModel_ = nullptr;
    int32_t transferInProgress_ = 0;  // 1 while sections are written; the close guard reads it
};
