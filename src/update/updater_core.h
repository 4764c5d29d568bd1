#pragma once
// The dialog's run-time state and its procedures, free of any window system: the
// Windows dialog forwards its buttons here, and tests drive it with fake windows and
// the simulated instrument.

#include <cstdint>
#include <string>

#include "firmware/firmware_info.h"
#include "instrument/instrument_link.h"

class VisaLibrary;
class WindowServices;
struct ModelRecord;

class UpdaterCore {
public:
    // Opens the VISA resource manager (as the dialog's construction does).
    UpdaterCore(VisaLibrary& visa, WindowServices& window, const std::string& vid,
                const std::string& pid);
    ~UpdaterCore();  // closes the resource manager if Destroy() was not called
    UpdaterCore(const UpdaterCore&) = delete;
    UpdaterCore& operator=(const UpdaterCore&) = delete;

    // OnInitDialog's share: zero the firmware information and the transfer flag.
    void Initialise();
    void LoadFirmwareFile();  // button "..."
    void RunUpdate();         // button "Update"
    // False while sections are being written: the close command is then ignored.
    bool CanClose() const { return transferInProgress_ == 0; }
    // WM_DESTROY: close the resource manager, then free the loaded sections.
    void Destroy();

    FirmwareInfo& firmware() { return firmware_; }
    const ModelRecord* selectedModel() const { return selectedModel_; }
    InstrumentLink& link() { return link_; }
    int32_t transferInProgress() const { return transferInProgress_; }

private:
    WindowServices& window_;
    InstrumentLink link_;
    FirmwareInfo firmware_;
    const ModelRecord* selectedModel_ = nullptr;
    int32_t transferInProgress_ = 0;
    bool destroyed_ = false;
};
