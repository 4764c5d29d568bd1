// fwtool update: the Update button's procedure from a script, on one instrument or on many
// at once (the engine's batch run, one thread each), with a distinct exit status, text or JSON
// output and a report.
#include <CLI/CLI.hpp>
#include <atomic>
#include <filesystem>
#include <memory>

#include "base/ascii.h"
#include "base/printable_text.h"
#include "base/result_messages.h"
#include "commands.h"
#include "firmware/file_stream.h"
#include "fleet/batch_preparation.h"
#include "fleet/batch_run.h"
#include "fleet/firmware_image.h"
#include "instrument/resource_name.h"
#include "instrument_commands.h"
#include "json_events.h"
#include "json_line.h"
#include "os/record_file.h"
#include "text_events.h"

namespace {

int Usage(CommandContext& context, const std::string& problem) {
    context.err.WriteLine("fwtool update: " + problem);
    return kExitUsage;
}

// The one question of a run; true when the answer is y or yes.
bool Confirmed(CommandContext& context, const std::vector<std::string>& chosen,
               const UpdateOptions& options, const FirmwareInfo& firmware) {
    std::string serials;
    for (const std::string& resource : chosen)
        serials += (serials.empty() ? "" : ", ") + PrintableText(SerialFromResource(resource));
    std::string answer;
    if (!context.ask(std::string("Update ") + firmware.ModelName + " SN:" + serials + " with " +
                         options.file + " (revision " + firmware.ImageRev + ")? [y/N] ",
                     answer))
        return false;
    answer = LowerCaseAscii(answer);
    return answer == "y" || answer == "yes";
}

// The report: one line per instrument, and one with an empty serial for a run that ended
// before any instrument started, so that it shows every attempt.
class Report {
  public:
    Report(CommandContext& context, const UpdateOptions& options)
        : context_(context), options_(options) {}

    // 0, or kExitUsage when the file cannot be opened.
    int Open() {
        if (options_.reportPath.empty()) return 0;
        const int error = file_.Open(options_.reportPath);
        if (error == 0) return 0;
        return Usage(context_, "cannot open the report '" + options_.reportPath +
                                   "': " + os::SystemErrorText(error));
    }
    void Parsed(const FirmwareInfo& firmware) {
        imageRev_ = firmware.ImageRev;
        std::error_code ignored;
        absoluteFile_ =
            std::filesystem::absolute(std::filesystem::u8path(options_.file), ignored).u8string();
    }
    // Appends the run's line, on the disk when this returns; a line that cannot be written
    // is said on stderr (and in the JSON output) and makes the process end with 118.
    void Append(const RunEnd& end) {
        if (!file_.IsOpen()) return;
        const int error = file_.Append(JsonLine({{"time", os::UtcTimestamp()},
                                                 {"serial", end.serial},
                                                 {"resource", end.resource},
                                                 {"file", absoluteFile_},
                                                 {"imageRev", imageRev_},
                                                 {"revisions", end.revisions},
                                                 {"code", end.code},
                                                 {"message", EndMessage(end)},
                                                 {"seconds", end.seconds},
                                                 {"dryRun", end.dryRun}},
                                                {{"sectionsWritten", end.sectionsWritten},
                                                 {"current", end.current}}) +
                                       "\n");
        if (error == 0) return;
        lost_ = true;
        const std::string what =
            "cannot write the report '" + options_.reportPath + "': " + os::SystemErrorText(error);
        context_.err.WriteLine("fwtool update: " +
                               (end.serial.empty() ? "" : PrintableText(end.serial) + ": ") + what);
        if (options_.json)
            context_.out.WriteLine(JsonLine({{"event", "error"},
                                             {"serial", end.serial},
                                             {"code", kExitReportLost},
                                             {"message", what}}));
    }
    // A run that ended before any instrument started: `status` is the process's.
    int Refused(int status) {
        RunEnd end;
        // A stop is recorded as the signal that made it (143 for SIGTERM), as fwtool exits.
        end.code = status == kExitInterrupted ? context_.stopStatus() : status;
        end.dryRun = options_.dryRun;
        Append(end);
        return status;
    }
    bool lost() const { return lost_; }

  private:
    CommandContext& context_;
    const UpdateOptions& options_;
    os::RecordFile file_{&context_.interrupted};
    std::string imageRev_, absoluteFile_;
    std::atomic<bool> lost_{false};
};

// The output's events; before each end is shown, its report line is on the disk.
class ReportedEvents : public FleetEvents {
  public:
    ReportedEvents(FleetEvents& shown, Report& report) : shown_(shown), report_(report) {}
    void Log(const std::string& serial, const std::string& line) override {
        shown_.Log(serial, line);
    }
    void Progress(const std::string& serial, int section, int sections, int percent) override {
        shown_.Progress(serial, section, sections, percent);
    }
    void SectionWritten(const std::string& serial, int index, int count,
                        const std::string& region) override {
        shown_.SectionWritten(serial, index, count, region);
    }
    void End(const RunEnd& end) override {
        report_.Append(end);
        shown_.End(end);
    }

  private:
    FleetEvents& shown_;
    Report& report_;
};

// What the batch's refusal says on stderr, and the process's status for it.
int SayRefusal(CommandContext& context, const PreparedBatch& batch) {
    switch (batch.refusal) {
        case Refusal::kNone:
            return kExitOk;
        case Refusal::kStopped:
            return kExitInterrupted;
        case Refusal::kNoInstrument:
            context.err.WriteLine("No instrument found.");
            return kExitNoInstrument;
        case Refusal::kSerialNotFound:
            context.err.WriteLine("fwtool update: not on the bus:" + PrintableText(batch.problem));
            return kExitSerialNotFound;
        case Refusal::kSerialOnSeveral:
            context.err.WriteLine("fwtool update: a serial names several instruments:" +
                                  PrintableText(batch.problem));
            return kExitNoneChosen;
        case Refusal::kNoneChosen:
            context.err.WriteLine(
                "fwtool update: several instruments, choose with --serial or --all:" +
                PrintableText(batch.problem));
            return kExitNoneChosen;
        case Refusal::kNoAccess:
            context.err.WriteLine("fwtool update: " + PrintableText(batch.problem));
            return kExitNoAccess;
        case Refusal::kCannotAsk:
            return Usage(context, "standard input is not a terminal: --yes is needed");
        case Refusal::kBusy:
            for (const std::string& serial : batch.busy)
                context.err.WriteLine(PrintableText(serial) +
                                      " is being updated by another fwtool");
            for (const std::string& problem : batch.unlocked)
                context.err.WriteLine("fwtool update: no lock, no update: " +
                                      PrintableText(problem));
            return kExitInstrumentBusy;
    }
    return kExitUsage;
}

}  // namespace

int RunUpdateCommand(CommandContext& context, const UpdateOptions& options) {
    const bool asks = !options.yes && !options.dryRun;
    if (options.json && asks) return Usage(context, "--json never asks: it needs --yes");
    Report report(context, options);
    if (int status = report.Open()) return status;

    // Parsed once: every run writes this image, whatever becomes of the file meanwhile.
    FirmwareImage image;
    int openError = 0;
    FileStream file(os::OpenFile(options.file, "rb", &openError));  // closed once parsed
    const int loaded = LoadFirmwareImage(file, image);
    if (loaded == kImageNotOpened) {
        context.err.WriteLine(
            options.file + ": error 125: cannot open the file: " + os::SystemErrorText(openError));
        return kExitUsage;
    }
    if (loaded != kOk) {
        context.err.WriteLine(options.file + ": error " + std::to_string(loaded) + ": " +
                              ResultMessage(loaded));
        return loaded;
    }
    const FirmwareInfo& firmware = image.info;
    report.Parsed(firmware);

    return context.withVisa(options.devices.visaPath, [&](VisaLibrary& visa) {
        // Its locks are held until every run has closed its session.
        const PreparedBatch batch = PrepareBatch(
            visa, BatchRequest{options.devices.serials, options.devices.all,
                               asks && !context.stdinIsTerminal, &context.interrupted});
        if (batch.refusal != Refusal::kNone) {
            const int status = SayRefusal(context, batch);
            // A usage error, not a refused run: not recorded.
            return batch.refusal == Refusal::kCannotAsk ? status : report.Refused(status);
        }
        const std::vector<std::string>& chosen = batch.chosen;
        if (asks && !Confirmed(context, chosen, options, firmware)) {
            if (context.interrupted) return report.Refused(kExitInterrupted);
            context.err.WriteLine(ResultMessage(kErrCancelled));
            return report.Refused(static_cast<int>(kErrCancelled));
        }
        if (context.interrupted) return report.Refused(kExitInterrupted);

        std::vector<std::string> serials;
        for (const std::string& resource : chosen) serials.push_back(SerialFromResource(resource));
        auto nowMs = [&context] { return context.clock.NowMs(); };
        std::unique_ptr<FleetEvents> shown;
        if (options.json)
            shown = std::make_unique<JsonEvents>(context.out, nowMs);
        else
            shown = std::make_unique<TextEvents>(context.out, context.err, serials, nowMs);
        ReportedEvents events(*shown, report);
        os::TimerResolutionHold finePauses;
        const BatchSetup setup{visa,          image, events, context.clock, &context.interrupted,
                               options.dryRun};
        const std::vector<RunEnd> ends = RunBatch(setup, chosen);
        if (!options.json) static_cast<TextEvents&>(*shown).Summary(ends);

        // A stop that came once every run had ended changes nothing.
        for (const RunEnd& end : ends)
            if (context.interrupted && end.code == kErrNotComplete) return kExitInterrupted;
        for (const RunEnd& end : ends)
            if (end.code != kOk && !(options.okIfCurrent && end.current)) return end.code;
        return report.lost() ? kExitReportLost : 0;
    });
}

void AddUpdateCommand(CLI::App& app, CommandContext& context, int& status) {
    auto o = std::make_shared<UpdateOptions>();
    CLI::App* update = app.add_subcommand(
        "update",
        "Update the firmware of K4417F instruments with FILE, as the Update button does; several "
        "instruments are updated at once.\n"
        "Exit status: 0 every instrument completed (with --ok-if-current, or already held the "
        "data); else the first failed instrument's error "
        "number (in the order of --serial, or of the search); 2 answered no; 117 an "
        "instrument's device node may not be opened; 118 every instrument completed but a "
        "report line could not be written; 119 an instrument is being updated by another "
        "fwtool or its lock cannot be taken; 120 no instrument found; 121 a serial not on the bus; "
        "122 several instruments "
        "and no --serial or --all, or a serial naming several; 123 no VISA library; 125 usage "
        "error or FILE cannot be opened (a refused FILE: its error number); 130 stopped by "
        "Ctrl+C, 143 by SIGTERM, 129 by SIGHUP (the section being written is finished first).");
    update->add_option("FILE", o->file, "the firmware revision file")->required();
    AddDeviceSelection(*update, o->devices, "update this instrument",
                       "update every instrument found");
    update->add_flag("--yes", o->yes, "do not ask for confirmation (needed without a terminal)");
    update->add_flag("--dry-run", o->dryRun,
                     "connect, identify and compare revisions only; sends nothing but *IDN?");
    update->add_flag("--ok-if-current", o->okIfCurrent,
                     "an instrument that already holds this data (error 19) counts as success "
                     "for the exit status");
    update->add_flag("--json", o->json,
                     "JSON lines on stdout: log, progress, section and end events (needs --yes)");
    update->add_option("--report", o->reportPath,
                       "append one JSON line per instrument to this file, on the disk before the "
                       "instrument's end is shown");
    update->callback([&context, &status, o] { status = RunUpdateCommand(context, *o); });
}
