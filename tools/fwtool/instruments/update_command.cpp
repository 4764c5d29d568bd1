// fwtool update: the Update button's procedure from a script, on one instrument or on many
// at once (the engine's batch run, one thread each), with a distinct exit status, text or JSON
// output and a report.
#include <CLI/CLI.hpp>
#include <memory>

#include "base/ascii.h"
#include "base/result_messages.h"
#include "commands.h"
#include "fleet/batch_run.h"
#include "fleet/bus.h"
#include "fleet/choice.h"
#include "fleet/firmware_image.h"
#include "instrument/resource_name.h"
#include "instrument_commands.h"
#include "json_events.h"
#include "json_line.h"
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
        serials += (serials.empty() ? "" : ", ") + SerialFromResource(resource);
    context.err.Write(std::string("Update ") + firmware.ModelName + " SN:" + serials + " with " +
                      options.file + " (revision " + firmware.ImageRev + ")? [y/N] ");
    std::string answer;
    if (!context.readAnswer(answer)) return false;
    answer = LowerCaseAscii(answer);
    return answer == "y" || answer == "yes";
}

std::string ReportLine(const RunEnd& end, const UpdateOptions& options,
                       const FirmwareInfo& firmware) {
    return JsonLine({{"time", os::UtcTimestamp()},
                     {"serial", end.serial},
                     {"resource", end.resource},
                     {"file", options.file},
                     {"imageRev", firmware.ImageRev},
                     {"revisions", end.revisions},
                     {"code", end.code},
                     {"message", EndMessage(end)},
                     {"seconds", end.seconds},
                     {"dryRun", end.dryRun}}) +
           "\n";
}

// The output's events, and after each end its report line.
class ReportedEvents : public FleetEvents {
  public:
    ReportedEvents(FleetEvents& shown, os::AppendFile& report, const UpdateOptions& options,
                   const FirmwareInfo& firmware)
        : shown_(shown), report_(report), options_(options), firmware_(firmware) {}
    void Log(const std::string& serial, const std::string& line) override {
        shown_.Log(serial, line);
    }
    void Progress(const std::string& serial, int section, int sections, int percent) override {
        shown_.Progress(serial, section, sections, percent);
    }
    void End(const RunEnd& end) override {
        shown_.End(end);
        if (report_.IsOpen()) report_.Append(ReportLine(end, options_, firmware_));
    }

  private:
    FleetEvents& shown_;
    os::AppendFile& report_;
    const UpdateOptions& options_;
    const FirmwareInfo& firmware_;
};

int ChoiceStatus(Choice choice) {
    switch (choice) {
        case Choice::kChosen:
            return kExitOk;
        case Choice::kSerialNotFound:
            return kExitSerialNotFound;
        case Choice::kNoneChosen:
            return kExitNoneChosen;
    }
    return kExitUsage;
}

}  // namespace

int RunUpdateCommand(CommandContext& context, const UpdateOptions& options) {
    const bool asks = !options.yes && !options.dryRun;
    if (options.json && asks) return Usage(context, "--json never asks: it needs --yes");
    os::AppendFile report;
    if (!options.reportPath.empty() && !report.Open(options.reportPath))
        return Usage(context, "cannot open the report '" + options.reportPath + "'");

    // Parsed once: every run writes this image, whatever becomes of the file meanwhile.
    FirmwareImage image;
    const int loaded = LoadFirmwareImage(options.file, image);
    if (loaded == kImageNotOpened) {
        context.err.WriteLine(options.file + ": error 125: cannot open the file");
        return kExitUsage;
    }
    if (loaded != kOk) {
        context.err.WriteLine(options.file + ": error " + std::to_string(loaded) + ": " +
                              ResultMessage(loaded));
        return loaded;
    }
    const FirmwareInfo& firmware = image.info;

    return context.withVisa(options.visaPath, [&](VisaLibrary& visa) {
        const std::vector<std::string> found = SearchBus(visa);
        if (found.empty()) {
            context.err.WriteLine("No instrument found.");
            return kExitNoInstrument;
        }
        std::vector<std::string> chosen;
        std::string problem;
        const Choice choice =
            ChooseInstruments(found, options.serials, options.all, chosen, problem);
        if (choice != Choice::kChosen) {
            context.err.WriteLine(choice == Choice::kSerialNotFound
                                      ? "fwtool update: not on the bus:" + problem
                                      : "fwtool update: several instruments, choose with "
                                        "--serial or --all:" +
                                            problem);
            return ChoiceStatus(choice);
        }
        if (asks && !context.stdinIsTerminal)
            return Usage(context, "standard input is not a terminal: --yes is needed");
        if (asks && !Confirmed(context, chosen, options, firmware)) {
            if (context.interrupted) return kExitInterrupted;
            context.err.WriteLine(ResultMessage(kErrCancelled));
            return static_cast<int>(kErrCancelled);
        }
        if (context.interrupted) return kExitInterrupted;

        std::vector<std::string> serials;
        for (const std::string& resource : chosen) serials.push_back(SerialFromResource(resource));
        auto nowMs = [&context] { return context.clock.NowMs(); };
        std::unique_ptr<FleetEvents> shown;
        if (options.json)
            shown = std::make_unique<JsonEvents>(context.out, nowMs);
        else
            shown = std::make_unique<TextEvents>(context.out, context.err, serials, nowMs);
        ReportedEvents events(*shown, report, options, firmware);
        os::TimerResolutionHold finePauses;
        const BatchSetup setup{visa,          image, events, context.clock, &context.interrupted,
                               options.dryRun};
        const std::vector<RunEnd> ends = RunBatch(setup, chosen);
        if (!options.json && ends.size() > 1) static_cast<TextEvents&>(*shown).Summary(ends);

        if (context.interrupted) return kExitInterrupted;
        for (const RunEnd& end : ends)
            if (end.code != kOk) return end.code;
        return 0;
    });
}

void AddUpdateCommand(CLI::App& app, CommandContext& context, int& status) {
    auto o = std::make_shared<UpdateOptions>();
    CLI::App* update = app.add_subcommand(
        "update",
        "Update the firmware of K4417F instruments with FILE, as the Update button does; several "
        "instruments are updated at once.\n"
        "Exit status: 0 every instrument completed; else the first failed instrument's error "
        "number (in the order of --serial, or of the search); 2 answered no; 120 no "
        "instrument found; 121 a serial not on the bus; 122 several instruments and no "
        "--serial or --all; 123 no VISA library; 125 usage error or FILE cannot be opened "
        "(a refused FILE: its error number); 130 stopped by Ctrl+C.");
    update->add_option("FILE", o->file, "the firmware revision file")->required();
    update
        ->add_option("--serial", o->serials,
                     "update this instrument (serial field of its resource, letter case "
                     "ignored); repeatable or comma-separated")
        ->delimiter(',');
    update->add_flag("--all", o->all, "update every instrument found");
    update->add_flag("--yes", o->yes, "do not ask for confirmation (needed without a terminal)");
    update->add_flag("--dry-run", o->dryRun,
                     "connect, identify and compare revisions only; sends nothing but *IDN?");
    update->add_flag("--json", o->json,
                     "JSON lines on stdout: log, progress and end events (needs --yes)");
    update->add_option("--report", o->reportPath,
                       "append one JSON line per instrument to this file");
    update->add_option("--visa", o->visaPath, "the VISA library to load");
    update->callback([&context, &status, o] { status = RunUpdateCommand(context, *o); });
}
