#include "instrument_run.h"

#include <cstring>

#include "base/result_code.h"
#include "base/scope_exit.h"
#include "bus_search.h"
#include "command_window.h"
#include "commands.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "update/updater.h"

namespace {

// Passes every call through, keeping the reply to the run's first "*IDN?".
class FirstIdentification : public VisaLibrary {
  public:
    explicit FirstIdentification(VisaLibrary& visa) : visa_(visa) {}
    std::string reply;

    ViStatus viWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override {
        asked_ = reply.empty() && cnt == 6 && std::memcmp(buf, "*IDN?\n", 6) == 0;
        return visa_.viWrite(vi, buf, cnt, retCnt);
    }
    ViStatus viRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override {
        ViStatus status = visa_.viRead(vi, buf, cnt, retCnt);
        if (asked_ && status == VI_SUCCESS && *retCnt <= cnt)
            reply.assign(reinterpret_cast<const char*>(buf), *retCnt);
        asked_ = false;
        return status;
    }
    ViStatus viOpenDefaultRM(ViSession* vi) override { return visa_.viOpenDefaultRM(vi); }
    ViStatus viFindRsrc(ViSession sesn, const ViChar* expr, ViFindList* findList, ViUInt32* retCnt,
                        ViChar* desc) override {
        return visa_.viFindRsrc(sesn, expr, findList, retCnt, desc);
    }
    ViStatus viFindNext(ViFindList findList, ViChar* desc) override {
        return visa_.viFindNext(findList, desc);
    }
    ViStatus viOpen(ViSession sesn, const ViChar* name, ViAccessMode mode, ViUInt32 timeout,
                    ViSession* vi) override {
        return visa_.viOpen(sesn, name, mode, timeout, vi);
    }
    ViStatus viClose(ViObject vi) override { return visa_.viClose(vi); }
    ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) override {
        return visa_.viSetAttribute(vi, attrName, attrValue);
    }

  private:
    VisaLibrary& visa_;
    bool asked_ = false;
};

// Connects, identifies in whatever mode the instrument is and compares the revisions;
// every section's region, revisions and size go to the log. Sends "*IDN?\n" only.
int DryRun(InstrumentLink& link, FirmwareInfo& firmware, const ModelRecord& model,
           RunEvents& events, const std::string& serial) {
    int code = link.ConnectDevice();
    auto close = MakeScopeExit([&] { link.DisconnectDevice(); });
    if (code != kOk) return code;
    std::string reply;
    code = IdentifyDevice(link, model, reply);
    if (code != kOk && code != kErrNotWriterMode) return code;
    events.Log(serial, std::string("Mode: ") + (code == kOk ? "writer" : "normal"));
    code = static_cast<signed char>(firmware.ImageRev[0]) > '0'
               ? CheckRevisions(firmware, model, reply)
               : kOk;
    const std::string field = RevisionField(reply);
    const ImageSection* section = firmware.sections;
    for (const SectionSpec* row = model.sections; row->firstSector != kSectionTableEnd && section;
         ++row, section = section->next) {
        char instrument[8] = {};
        row->extractRevision(field.c_str(), instrument);
        char line[400];
        std::snprintf(line, sizeof line, "%-16s file %-4s  instrument %-4s  %u bytes", row->name,
                      section->revision, instrument, section->bytesRead);
        events.Log(serial, line);
    }
    return code;
}

}  // namespace

RunEnd RunInstrument(const InstrumentRunSetup& setup, const std::string& resource,
                     std::string& revisions) {
    RunEnd end;
    end.resource = resource;
    end.serial = SerialField(resource);
    end.dryRun = setup.dryRun;
    const uint64_t startMs = setup.nowMs();

    std::string vid, pid;
    BuiltInIds(vid, pid);
    FirstIdentification visa(setup.visa);
    CommandWindow window(end.serial, &setup.events, setup.sleep);
    window.Choose(resource);
    Updater updater(visa, window, vid, pid);
    updater.Initialise();
    FileStream file = OpenFirmwareFile(setup.file);
    end.code = file.IsOpen() ? updater.ParseFile(file) : kExitUsage;
    if (end.code == kOk) {
        if (setup.dryRun) {
            end.code = DryRun(updater.link(), updater.firmware(), *updater.selectedModel(),
                              setup.events, end.serial);
        } else {
            updater.SetRunOptions(RunOptions{kCommandReconnectRetryMs, setup.stop});
            end.code = updater.UpdateSelectedInstrument(1);
            // The completion banner has no line end of its own; a failure's last fragment
            // is the error number, which the end line restates.
            if (end.code == kOk && !window.pendingLine().empty())
                setup.events.Log(end.serial, window.pendingLine());
        }
        revisions = RevisionField(visa.reply);
    }
    end.seconds = (setup.nowMs() - startMs) / 1000.0;
    return end;
}
