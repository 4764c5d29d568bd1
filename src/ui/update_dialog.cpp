#include "ui/update_dialog.h"

#include <cstdio>

#include "base/printable_text.h"
#include "base/result_code.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_loader.h"
#include "firmware/model_catalogue.h"
#include "instrument/resource_name.h"
#include "os/instrument_lock.h"
#include "ui/control_ids.h"
#include "ui/log_pane.h"
#include "ui/window_services.h"

namespace {

constexpr int kDeviceTextLimit = 255;  // the combo box text limit counts the terminating zero

std::string ConfirmationText(int32_t found, const char* modelName, const std::string& serial) {
    char text[256];
    if (found == 1)
        std::snprintf(text, sizeof text, "Are you sure you want to update %.63s SN:%s?", modelName,
                      serial.c_str());
    else
        std::snprintf(text, sizeof text,
                      "%d instruments are Found. Are you sure you want to update %.63s SN:%s?",
                      static_cast<int>(found), modelName, serial.c_str());
    return text;
}

}  // namespace

UpdateDialog::UpdateDialog(VisaLibrary& visa, WindowServices& window, const std::string& vid,
                           const std::string& pid)
    : window_(window), updater_(visa, *this, vid, pid) {}

void UpdateDialog::Initialise() {
    ClearFirmwareInfo(firmware_);
}

void UpdateDialog::BeginBusy() {
    window_.EnableControl(IDC_BROWSE, false);
    window_.EnableControl(IDC_UPDATE, false);
}

void UpdateDialog::EndBusy() {
    window_.EnableControl(IDC_BROWSE, true);
    window_.EnableControl(IDC_UPDATE, true);
}

void UpdateDialog::LoadFirmwareFile() {
    // Both buttons are disabled while sections are written, but the transfer dispatches
    // window messages; a click that still got through must not free or rewrite the
    // sections that are being sent.
    if (!updater_.CanClose()) return;
    window_.EnableControl(IDC_UPDATE, false);

    std::string path;
    if (!window_.OpenFileDialog(path)) return;

    FileStream file = OpenFirmwareFile(path);  // closed on every way out
    if (!file.IsOpen()) {
        window_.MessageBox("Can't open file.", "Open Firmware Revision File", kMbOk | kMbIconHand);
        return;
    }

    const int code = ParseFile(file);
    if (code != kOk) {
        ReportError(window_, code);
        return;
    }

    window_.SetControlText(IDC_MODEL_NAME, firmware_.ModelName);
    window_.SetControlText(IDC_IMAGE_REV, firmware_.ImageRev);
    window_.SetControlText(IDC_DESCRIPTION, firmware_.UpdatedDescription);
    window_.SetControlText(IDC_FILE_PATH, path);
    window_.EnableControl(IDC_UPDATE, true);
}

int UpdateDialog::ParseFile(FirmwareStream& file) {
    return ParseAndValidate(file, firmware_, selectedModel_);
}

void UpdateDialog::RunUpdate() {
    // A click that got through while sections are written must not start a second run.
    if (!updater_.CanClose()) return;
    WindowServices& window = window_;
    // Update is enabled only by a successful load; without a loaded file there is
    // nothing to compare or write, so the button does nothing at all.
    if (selectedModel_ == nullptr || firmware_.sections == nullptr) return;

    ClearLog(window);
    const std::string previous = window.DeviceListText(kDeviceTextLimit);
    window.DeviceListReset();
    std::vector<std::string> resources;
    const int32_t found = updater_.link().SearchInstruments(resources);
    for (const std::string& resource : resources) window.DeviceListAdd(resource);
    if (found <= 0) {
        window.MessageBox("No instrument found.", "Search Instrument", kMbOk | kMbIconInformation);
        return;
    }
    const int index = window.DeviceListFind(previous);
    window.DeviceListSelect(index >= 0 ? index : 0);
    UpdateSelectedInstrument(found);
}

int UpdateDialog::UpdateSelectedInstrument(int32_t found) {
    const std::string resource = window_.DeviceListText(kDeviceTextLimit);
    // One updater per instrument, held while its sessions are open: an instrument that
    // fwtool (or another window) is updating gets nothing, as one that cannot be connected.
    os::InstrumentLock lock;
    const std::string serial = SerialFromResource(resource);
    if (const os::InstrumentLock::Result taken = lock.Take(serial);
        taken != os::InstrumentLock::kTaken) {
        AppendLog(window_, "Connect ... " +
                               (taken == os::InstrumentLock::kBusy
                                    ? PrintableText(serial) + " is being updated by another program"
                                    : "no lock: " + PrintableText(lock.problem())));
        ReportError(window_, kErrConnect);
        EndBusy();
        return kErrConnect;
    }
    const int code = updater_.Update(firmware_, *selectedModel_, resource, found, *this);
    EndBusy();
    return code;
}

void UpdateDialog::Log(const std::string& text, LogEnd end) {
    AppendLog(window_, end == LogEnd::kCompleted ? text + "\r\n" : text);
}

bool UpdateDialog::Confirm(int32_t found, const std::string& serial) {
    return window_.MessageBox(ConfirmationText(found, firmware_.ModelName, serial),
                              "Confirm Firmware Update", kMbYesNo | kMbIconQuestion) == kIdYes;
}

void UpdateDialog::Section(int index, int count, const SectionSpec&, uint32_t) {
    char counter[32];
    std::snprintf(counter, sizeof counter, "%d / %d", index, count);
    window_.SetControlText(IDC_SECTION_COUNTER, counter);
}

void UpdateDialog::Progress(uint32_t done, uint32_t total) {
    if (done == 0) {
        window_.ProgressSetPos(0);
        window_.ProgressSetStep(1);
        // The bar's limits are 16-bit.
        window_.ProgressSetRange(0, static_cast<uint16_t>(total));
        return;
    }
    window_.ProgressStepIt();
    // Lets the window breathe while the instrument works.
    window_.PumpMessages();
}

void UpdateDialog::End(int code) {
    if (code == kOk) {
        window_.MessageBox("Update is completed\nPlease cycle the power of K4417F!",
                           "Firmware Update", kMbOk | kMbIconInformation);
    } else {
        ReportError(window_, code);
    }
}

void UpdateDialog::Sleep(uint32_t ms) {
    window_.Sleep(ms);
}

uint64_t UpdateDialog::NowMs() {
    return window_.NowMs();
}
