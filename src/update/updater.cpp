#include "update/updater.h"

#include <algorithm>
#include <string>

#include "base/result_code.h"
#include "base/run_clock.h"
#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "instrument/resource_name.h"
#include "instrument/update_observer.h"
#include "writer/section_transfer.h"

namespace {
constexpr char kCompletedBanner[] = "--------------- Completed ---------------";
}

Updater::Updater(VisaLibrary& visa, RunClock& clock, const std::string& vid, const std::string& pid)
    : clock_(clock), link_(visa, clock, vid, pid) {}

bool Updater::StopRequested() const {
    return options_.stopRequested != nullptr && options_.stopRequested->load();
}

// The reopen after the switch into writer mode: once, or retried as the options allow.
int Updater::Reconnect(const std::string& resource) {
    if (StopRequested()) return kErrNotComplete;
    // The window is measured by the clock: a failed open can itself take its whole timeout.
    const uint64_t start = clock_.NowMs();
    int code = link_.ConnectDevice(resource);
    while (code == kErrConnect && clock_.NowMs() - start < options_.reconnectRetryMs) {
        link_.DisconnectDevice();  // an open whose timeout could not be set
        WaitUnlessStopped(kReconnectIntervalMs);
        code = StopRequested() ? kErrNotComplete : link_.ConnectDevice(resource);
    }
    return code;
}

void Updater::WaitUnlessStopped(uint32_t ms) {
    constexpr uint32_t kStopPollMs = 100;
    if (options_.stopRequested == nullptr) return clock_.Sleep(ms);
    for (uint32_t waited = 0; waited < ms && !StopRequested(); waited += kStopPollMs)
        clock_.Sleep(std::min(kStopPollMs, ms - waited));
}

int Updater::Identify(const ModelRecord& model, std::string& reply, UpdateObserver& observer) {
    std::string asRead;
    const int code = IdentifyDevice(link_, model, reply, &asRead);
    if (code != kErrIo) observer.Identified(asRead);  // 4: no reply was read
    return code;
}

// Writes every row of the model's table with the file's section at the same position.
int Updater::WriteAllSections(const FirmwareInfo& firmware, const ModelRecord& model,
                              UpdateObserver& observer) {
    const int total = SectionCount(model);
    const ImageSection* section = firmware.sections;
    for (int row = 0; row < total; ++row) {
        if (StopRequested()) return kErrNotComplete;
        observer.Section(row + 1, total, model.sections[row], section ? section->bytesRead : 0);
        // A loaded file has one section per row; should the list ever run short, refuse
        // the file instead of writing from nowhere.
        if (section == nullptr) return kErrTooFewSections;
        const int code = WriteSection(link_, observer, *section, model.sections[row]);
        if (code != kOk) return code;
        observer.SectionWritten(row + 1, total, model.sections[row]);
        section = section->next;
    }
    return kOk;
}

// Everything from the connection to the last section; returns the first failing code.
int Updater::ConnectAndWrite(const FirmwareInfo& firmware, const ModelRecord& model,
                             const std::string& resource, int32_t found, UpdateObserver& observer) {
    InstrumentLink& link = link_;

    if (StopRequested()) return kErrNotComplete;
    observer.Log("Connect ... ", LogEnd::kContinued);
    int code = link.ConnectDevice(resource);
    if (code != kOk) return code;
    observer.Log("OK", LogEnd::kCompleted);

    if (!observer.Confirm(found, SerialFromResource(resource, SerialRule::kConfirmation)))
        return kErrCancelled;

    std::string reply;
    if (Identify(model, reply, observer) == kErrNotWriterMode) {
        if (StopRequested()) return kErrNotComplete;
        observer.Log("To Writer ... ", LogEnd::kContinued);
        code = SwitchToWriter(link);
        if (code != kOk) return code;
        // The instrument drops off the bus while it starts its writer; the session
        // has to be opened anew once it is back.
        link.DisconnectDevice();
        WaitUnlessStopped(kSwitchWaitMs);
        observer.Log("OK", LogEnd::kCompleted);
        observer.Log("Connect ... ", LogEnd::kContinued);
        code = Reconnect(resource);
        if (code != kOk) return code;
        observer.Log("OK", LogEnd::kCompleted);
    }
    // Any other first answer, a failed one included, is settled by the second.

    observer.WriterSessionBegins();
    observer.Log("Testing ... ", LogEnd::kContinued);
    code = Identify(model, reply, observer);
    if (code != kOk) return code;
    observer.Log("OK", LogEnd::kCompleted);

    if (RevisionCheckRuns(firmware)) {
        observer.Log("Check Revision ... ", LogEnd::kContinued);
        code = CheckRevisions(firmware, model, reply);
        if (code != kOk) return code;
        observer.Log("OK", LogEnd::kCompleted);
    }

    transferInProgress_ = 1;
    code = WriteAllSections(firmware, model, observer);
    transferInProgress_ = 0;
    return code;
}

int Updater::Update(const FirmwareInfo& firmware, const ModelRecord& model,
                    const std::string& resource, int32_t found, UpdateObserver& observer) {
    const int code = ConnectAndWrite(firmware, model, resource, found, observer);
    if (code == kOk) observer.Log(kCompletedBanner, LogEnd::kContinued);
    observer.End(code);
    link_.DisconnectDevice();
    return code;
}
