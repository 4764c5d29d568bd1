#include "fleet/batch_run.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "base/result_code.h"
#include "base/run_clock.h"
#include "base/scope_exit.h"
#include "firmware/model_catalogue.h"
#include "fleet/bus.h"
#include "fleet/firmware_image.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "instrument/resource_name.h"
#include "instrument/update_observer.h"
#include "update/updater.h"

namespace {

// One run's events as lines and percentages for the front end.
class RunLines : public UpdateObserver {
  public:
    RunLines(FleetEvents& events, std::string serial)
        : events_(events), serial_(std::move(serial)) {}
    // The revision field of the first identification reply that held anything.
    std::string revisions() const { return RevisionField(firstReply_); }

    void Log(const std::string& text, LogEnd end) override {
        pending_ += text;
        if (end == LogEnd::kCompleted) Flush();
    }
    bool Confirm(int32_t, const std::string&) override { return true; }
    void Identified(const std::string& reply) override {
        if (firstReply_.empty()) firstReply_ = reply;
    }
    void WriterSessionBegins() override {}
    void Section(int index, int count, const SectionSpec&, uint32_t) override {
        section_ = index;
        sections_ = count;
    }
    void Progress(uint32_t done, uint32_t total) override {
        if (done == 0) {
            sectors_ = (static_cast<uint16_t>(total) - 1) / 3;
            return;
        }
        if (sectors_ <= 0) return;
        const int percent = std::min(100, static_cast<int>(done) * 100 / sectors_);
        events_.Progress(serial_, section_, sections_, percent);
    }
    void End(int code) override {
        // The completion banner has no line end of its own; a failure's unfinished line
        // (empty, often) is where the window puts its error number, which the end restates.
        if (code != kOk || !pending_.empty()) Flush();
    }

  private:
    void Flush() {
        events_.Log(serial_, pending_);
        pending_.clear();
    }

    FleetEvents& events_;
    std::string serial_;
    std::string pending_;
    std::string firstReply_;
    int section_ = 0, sections_ = 0, sectors_ = 0;
};

// Connects, identifies in whatever mode the instrument is and compares the revisions;
// every section's region, revisions and size go to the log. Sends "*IDN?\n" only.
int DryRun(InstrumentLink& link, const FirmwareImage& image, const std::string& resource,
           RunLines& lines) {
    const ModelRecord& model = *image.model;
    int code = link.ConnectDevice(resource);
    auto close = MakeScopeExit([&] { link.DisconnectDevice(); });
    if (code != kOk) return code;
    std::string reply, asRead;
    code = IdentifyDevice(link, model, reply, &asRead);
    if (code != kErrIo) lines.Identified(asRead);
    if (code != kOk && code != kErrNotWriterMode) return code;
    lines.Log(std::string("Mode: ") + (code == kOk ? "writer" : "normal"), LogEnd::kCompleted);
    code = RevisionCheckRuns(image.info) ? CheckRevisions(image.info, model, reply) : kOk;
    const std::string field = RevisionField(reply);
    const ImageSection* section = image.info.sections;
    for (const SectionSpec* row = model.sections; row->firstSector != kSectionTableEnd && section;
         ++row, section = section->next) {
        char instrument[8] = {};
        row->extractRevision(field.c_str(), instrument);
        char line[400];
        std::snprintf(line, sizeof line, "%-16s file %-4s  instrument %-4s  %u bytes", row->name,
                      section->revision, instrument, section->bytesRead);
        lines.Log(line, LogEnd::kCompleted);
    }
    return code;
}

}  // namespace

RunEnd RunInstrument(const BatchSetup& setup, const std::string& resource) {
    RunEnd end;
    end.resource = resource;
    end.serial = SerialFromResource(resource);
    end.dryRun = setup.dryRun;
    const uint64_t startMs = setup.clock.NowMs();

    std::string vid, pid;
    BuiltInIds(vid, pid);
    RunLines lines(setup.events, end.serial);
    Updater updater(setup.visa, setup.clock, vid, pid);
    if (setup.dryRun) {
        end.code = DryRun(updater.link(), setup.image, resource, lines);
    } else {
        updater.SetRunOptions(RunOptions{setup.reconnectRetryMs, setup.stop});
        end.code = updater.Update(setup.image.info, *setup.image.model, resource, 1, lines);
    }
    end.revisions = lines.revisions();
    end.seconds = (setup.clock.NowMs() - startMs) / 1000.0;
    return end;
}

std::vector<RunEnd> RunBatch(const BatchSetup& setup, const std::vector<std::string>& chosen) {
    std::vector<RunEnd> ends(chosen.size());
    std::vector<std::thread> threads;
    threads.reserve(chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i)
        threads.emplace_back([&setup, &chosen, &ends, i] {
            ends[i] = RunInstrument(setup, chosen[i]);
            setup.events.End(ends[i]);
        });
    for (std::thread& thread : threads) thread.join();
    return ends;
}
