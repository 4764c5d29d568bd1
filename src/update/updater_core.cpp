#include "update/updater_core.h"

#include "firmware/firmware_loader.h"
#include "update/update_procedure.h"

UpdaterCore::UpdaterCore(VisaLibrary& visa, WindowServices& window, const std::string& vid,
                         const std::string& pid)
    : window_(window), link_(visa, window, vid, pid) {
    link_.OpenResourceManager();
}

UpdaterCore::~UpdaterCore() {
    if (!destroyed_) Destroy();
}

void UpdaterCore::Initialise() {
    ClearFirmwareInfo(firmware_);
    transferInProgress_ = 0;
}

// Both buttons are disabled while sections are written, but the transfer dispatches
// window messages; a click that still got through must not free or rewrite the
// sections that are being sent.
void UpdaterCore::LoadFirmwareFile() {
    if (transferInProgress_ != 0) return;
    ::LoadFirmwareFile(window_, firmware_, selectedModel_);
}

void UpdaterCore::RunUpdate() {
    if (transferInProgress_ != 0) return;
    UpdateState state{window_, link_, firmware_, selectedModel_, transferInProgress_};
    ::RunUpdate(state);
}

void UpdaterCore::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    link_.CloseResourceManager();
    ClearFirmwareInfo(firmware_);
}
