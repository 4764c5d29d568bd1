#include "update/update_procedure.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "ui/control_ids.h"
#include "ui/error_table.h"
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

bool StopRequested(const UpdateState& state) {
    return state.options.stopRequested != nullptr && state.options.stopRequested->load();
}

// The reopen after the switch into writer mode: once, or retried as the options allow.
int Reconnect(UpdateState& state) {
    int code = StopRequested(state) ? kErrNotComplete : state.link.ConnectDevice();
    for (uint32_t waited = 0; code == kErrConnect && waited < state.options.reconnectRetryMs;
         waited += kReconnectIntervalMs) {
        state.link.DisconnectDevice();  // an open whose timeout could not be set
        state.window.Sleep(kReconnectIntervalMs);
        code = StopRequested(state) ? kErrNotComplete : state.link.ConnectDevice();
    }
    return code;
}

// Writes every row of the model's table with the file's section at the same position.
int WriteAllSections(UpdateState& state, const ModelRecord& model) {
    FirmwareInfo& firmware = state.firmware;
    const int total = SectionCount(model);
    int code = kOk;
    firmware.cursor = firmware.sections;
    for (int row = 0; row < total; ++row) {
        if (StopRequested(state)) {
            code = kErrNotComplete;
            break;
        }
        char counter[32];
        std::snprintf(counter, sizeof counter, "%d / %d", row + 1, total);
        state.window.SetControlText(IDC_SECTION_COUNTER, counter);
        // A loaded file has one section per row; should the list ever run short, refuse
        // the file instead of writing from nowhere.
        if (firmware.cursor == nullptr) {
            code = kErrTooFewSections;
            break;
        }
        code = WriteSection(state.link, state.window, *firmware.cursor, model.sections[row]);
        if (code != kOk) break;
        firmware.cursor = firmware.cursor->next;
    }
    return code;
}

// Everything from the connection to the last section; returns the first failing code.
int ConnectAndWrite(UpdateState& state, const ModelRecord& model, int32_t found) {
    WindowServices& window = state.window;
    InstrumentLink& link = state.link;

    if (StopRequested(state)) return kErrNotComplete;
    AppendLog(window, "Connect ... ");
    int code = link.ConnectDevice();
    if (code != kOk) return code;
    AppendLog(window, "OK\r\n");

    const std::string serial = SerialFromResource(window.DeviceListText(kDeviceTextLimit));
    const std::string question = ConfirmationText(found, state.firmware.ModelName, serial);
    if (window.MessageBox(question, "Confirm Firmware Update", kMbYesNo | kMbIconQuestion) !=
        kIdYes)
        return kErrCancelled;

    std::string reply;
    if (IdentifyDevice(link, model, reply) == kErrNotWriterMode) {
        if (StopRequested(state)) return kErrNotComplete;
        AppendLog(window, "To Writer ... ");
        code = SwitchToWriter(link);
        if (code != kOk) return code;
        // The instrument drops off the bus while it starts its writer; the session
        // has to be opened anew once it is back.
        link.DisconnectDevice();
        window.Sleep(kSwitchWaitMs);
        AppendLog(window, "OK\r\n");
        AppendLog(window, "Connect ... ");
        code = Reconnect(state);
        if (code != kOk) return code;
        AppendLog(window, "OK\r\n");
    }
    // Any other first answer, a failed one included, is settled by the second.

    BeginBusy(window);
    AppendLog(window, "Testing ... ");
    code = IdentifyDevice(link, model, reply);
    if (code != kOk) return code;
    AppendLog(window, "OK\r\n");

    // A file revision beginning with '0' (or a byte above 0x7F) is written unchecked.
    if (static_cast<signed char>(state.firmware.ImageRev[0]) > '0') {
        AppendLog(window, "Check Revision ... ");
        code = CheckRevisions(state.firmware, model, reply);
        if (code != kOk) return code;
        AppendLog(window, "OK\r\n");
    }

    state.transferInProgress = 1;
    code = WriteAllSections(state, model);
    state.transferInProgress = 0;
    return code;
}

}  // namespace

void BeginBusy(WindowServices& window) {
    window.EnableControl(IDC_BROWSE, false);
    window.EnableControl(IDC_UPDATE, false);
}

void EndBusy(WindowServices& window) {
    window.EnableControl(IDC_BROWSE, true);
    window.EnableControl(IDC_UPDATE, true);
}

void RunUpdate(UpdateState& state) {
    WindowServices& window = state.window;
    // Update is enabled only by a successful load; without a loaded file there is
    // nothing to compare or write, so the button does nothing at all.
    if (state.selectedModel == nullptr || state.firmware.sections == nullptr) return;

    ClearLog(window);
    const std::string previous = window.DeviceListText(kDeviceTextLimit);
    const int32_t found = state.link.SearchInstruments();
    if (found <= 0) {
        window.MessageBox("No instrument found.", "Search Instrument", kMbOk | kMbIconInformation);
        return;
    }
    const int index = window.DeviceListFind(previous);
    window.DeviceListSelect(index >= 0 ? index : 0);
    UpdateSelectedInstrument(state, found);
}

int UpdateSelectedInstrument(UpdateState& state, int32_t found) {
    WindowServices& window = state.window;
    const int code = ConnectAndWrite(state, *state.selectedModel, found);
    if (code == kOk) {
        AppendLog(window, "--------------- Completed ---------------");
        window.MessageBox("Update is completed\nPlease cycle the power of K4417F!",
                          "Firmware Update", kMbOk | kMbIconInformation);
    } else {
        ReportError(window, code);
    }
    state.link.DisconnectDevice();
    EndBusy(window);
    return code;
}
