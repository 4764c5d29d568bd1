#include "update/updater.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/result_code.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "ui/control_ids.h"
#include "ui/log_pane.h"
#include "ui/window_services.h"
#include "writer/section_transfer.h"

namespace {

constexpr int kDeviceTextLimit = 255;  // the combo box text limit counts the terminating zero
constexpr size_t kSerialLength = 10;

// The serial number shown to the operator: ten characters from the first "TW" of the
// resource name, or its first ten characters when it has none.
std::string SerialFromResource(const std::string& resource) {
    size_t at = resource.find("TW");
    if (at == std::string::npos) at = 0;
    return resource.substr(at, kSerialLength);
}

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

bool Updater::StopRequested() const {
    return options_.stopRequested != nullptr && options_.stopRequested->load();
}

// The reopen after the switch into writer mode: once, or retried as the options allow.
int Updater::Reconnect() {
    int code = StopRequested() ? kErrNotComplete : link_.ConnectDevice();
    for (uint32_t waited = 0; code == kErrConnect && waited < options_.reconnectRetryMs;
         waited += kReconnectIntervalMs) {
        link_.DisconnectDevice();  // an open whose timeout could not be set
        window_.Sleep(kReconnectIntervalMs);
        code = StopRequested() ? kErrNotComplete : link_.ConnectDevice();
    }
    return code;
}

// Writes every row of the model's table with the file's section at the same position.
int Updater::WriteAllSections(const ModelRecord& model) {
    FirmwareInfo& firmware = firmware_;
    const int total = SectionCount(model);
    int code = kOk;
    firmware.cursor = firmware.sections;
    for (int row = 0; row < total; ++row) {
        if (StopRequested()) {
            code = kErrNotComplete;
            break;
        }
        char counter[32];
        std::snprintf(counter, sizeof counter, "%d / %d", row + 1, total);
        window_.SetControlText(IDC_SECTION_COUNTER, counter);
        // A loaded file has one section per row; should the list ever run short, refuse
        // the file instead of writing from nowhere.
        if (firmware.cursor == nullptr) {
            code = kErrTooFewSections;
            break;
        }
        code = WriteSection(link_, window_, *firmware.cursor, model.sections[row]);
        if (code != kOk) break;
        firmware.cursor = firmware.cursor->next;
    }
    return code;
}

// Everything from the connection to the last section; returns the first failing code.
int Updater::ConnectAndWrite(const ModelRecord& model, int32_t found) {
    WindowServices& window = window_;
    InstrumentLink& link = link_;

    if (StopRequested()) return kErrNotComplete;
    AppendLog(window, "Connect ... ");
    int code = link.ConnectDevice();
    if (code != kOk) return code;
    AppendLog(window, "OK\r\n");

    const std::string serial = SerialFromResource(window.DeviceListText(kDeviceTextLimit));
    const std::string question = ConfirmationText(found, firmware_.ModelName, serial);
    if (window.MessageBox(question, "Confirm Firmware Update", kMbYesNo | kMbIconQuestion) !=
        kIdYes)
        return kErrCancelled;

    std::string reply;
    if (IdentifyDevice(link, model, reply) == kErrNotWriterMode) {
        if (StopRequested()) return kErrNotComplete;
        AppendLog(window, "To Writer ... ");
        code = SwitchToWriter(link);
        if (code != kOk) return code;
        // The instrument drops off the bus while it starts its writer; the session
        // has to be opened anew once it is back.
        link.DisconnectDevice();
        window.Sleep(kSwitchWaitMs);
        AppendLog(window, "OK\r\n");
        AppendLog(window, "Connect ... ");
        code = Reconnect();
        if (code != kOk) return code;
        AppendLog(window, "OK\r\n");
    }
    // Any other first answer, a failed one included, is settled by the second.

    BeginBusy();
    AppendLog(window, "Testing ... ");
    code = IdentifyDevice(link, model, reply);
    if (code != kOk) return code;
    AppendLog(window, "OK\r\n");

    // A file revision beginning with '0' (or a byte above 0x7F) is written unchecked.
    if (static_cast<signed char>(firmware_.ImageRev[0]) > '0') {
        AppendLog(window, "Check Revision ... ");
        code = CheckRevisions(firmware_, model, reply);
        if (code != kOk) return code;
        AppendLog(window, "OK\r\n");
    }

    transferInProgress_ = 1;
    code = WriteAllSections(model);
    transferInProgress_ = 0;
    return code;
}

Updater::Updater(VisaLibrary& visa, WindowServices& window, const std::string& vid,
                 const std::string& pid)
    : window_(window), link_(visa, window, vid, pid) {}

void Updater::Initialise() {
    ClearFirmwareInfo(firmware_);
    transferInProgress_ = 0;
}

void Updater::BeginBusy() {
    window_.EnableControl(IDC_BROWSE, false);
    window_.EnableControl(IDC_UPDATE, false);
}

void Updater::EndBusy() {
    window_.EnableControl(IDC_BROWSE, true);
    window_.EnableControl(IDC_UPDATE, true);
}

void Updater::LoadFirmwareFile() {
    // Both buttons are disabled while sections are written, but the transfer dispatches
    // window messages; a click that still got through must not free or rewrite the
    // sections that are being sent.
    if (transferInProgress_ != 0) return;
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

int Updater::ParseFile(FirmwareStream& file) {
    return ParseAndValidate(file, firmware_, selectedModel_);
}

void Updater::RunUpdate() {
    // A click that got through while sections are written must not start a second run.
    if (transferInProgress_ != 0) return;
    WindowServices& window = window_;
    // Update is enabled only by a successful load; without a loaded file there is
    // nothing to compare or write, so the button does nothing at all.
    if (selectedModel_ == nullptr || firmware_.sections == nullptr) return;

    ClearLog(window);
    const std::string previous = window.DeviceListText(kDeviceTextLimit);
    const int32_t found = link_.SearchInstruments();
    if (found <= 0) {
        window.MessageBox("No instrument found.", "Search Instrument", kMbOk | kMbIconInformation);
        return;
    }
    const int index = window.DeviceListFind(previous);
    window.DeviceListSelect(index >= 0 ? index : 0);
    UpdateSelectedInstrument(found);
}

int Updater::UpdateSelectedInstrument(int32_t found) {
    WindowServices& window = window_;
    const int code = ConnectAndWrite(*selectedModel_, found);
    if (code == kOk) {
        AppendLog(window, "--------------- Completed ---------------");
        window.MessageBox("Update is completed\nPlease cycle the power of K4417F!",
                          "Firmware Update", kMbOk | kMbIconInformation);
    } else {
        ReportError(window, code);
    }
    link_.DisconnectDevice();
    EndBusy();
    return code;
}
