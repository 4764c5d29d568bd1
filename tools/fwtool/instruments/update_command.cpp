// fwtool update: the Update button's procedure from a script, on one instrument or on many
// at once (one thread each), with a distinct exit status, text or JSON output and a report.
#include <CLI/CLI.hpp>
#include <memory>
#include <thread>

#include "bus_search.h"
#include "commands.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "instrument_commands.h"
#include "instrument_run.h"
#include "json_events.h"
#include "json_line.h"
#include "platform.h"
#include "text_events.h"
#include "ui/error_table.h"
#include "visa/visa_library.h"

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
        serials += (serials.empty() ? "" : ", ") + SerialField(resource);
    context.err.Write(std::string("Update ") + firmware.ModelName + " SN:" + serials + " with " +
                      options.file + " (revision " + firmware.ImageRev + ")? [y/N] ");
    std::string answer;
    if (!context.readAnswer(answer)) return false;
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

std::string ReportLine(const RunEnd& end, const UpdateOptions& options,
                       const FirmwareInfo& firmware, const std::string& revisions) {
    return JsonLine({{"time", UtcTimestamp()},
                     {"serial", end.serial},
                     {"resource", end.resource},
                     {"file", options.file},
                     {"imageRev", firmware.ImageRev},
                     {"revisions", revisions},
                     {"code", end.code},
                     {"message", EndMessage(end)},
                     {"seconds", end.seconds},
                     {"dryRun", end.dryRun}}) +
           "\n";
}

// Every chosen instrument at once, each on its own thread; the ends in the order chosen.
std::vector<RunEnd> RunAll(CommandContext& context, VisaLibrary& visa, RunEvents& events,
                           const std::vector<std::string>& chosen, const UpdateOptions& options,
                           const FirmwareInfo& firmware, AppendFile& report) {
    const InstrumentRunSetup setup{options.file,  visa,          events,
                                   context.sleep, context.nowMs, &context.interrupted,
                                   options.dryRun};
    std::vector<RunEnd> ends(chosen.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < chosen.size(); ++i)
        threads.emplace_back([&, i] {
            std::string revisions;
            ends[i] = RunInstrument(setup, chosen[i], revisions);
            events.End(ends[i]);
            if (report.IsOpen()) report.Append(ReportLine(ends[i], options, firmware, revisions));
        });
    for (std::thread& thread : threads) thread.join();
    return ends;
}

}  // namespace

int RunUpdateCommand(CommandContext& context, const UpdateOptions& options) {
    const bool asks = !options.yes && !options.dryRun;
    if (options.json && asks) return Usage(context, "--json never asks: it needs --yes");
    AppendFile report;
    if (!options.reportPath.empty() && !report.Open(options.reportPath))
        return Usage(context, "cannot open the report '" + options.reportPath + "'");

    FirmwareInfo firmware;
    const ModelRecord* model = nullptr;
    FileStream file = OpenFirmwareFile(options.file);
    if (!file.IsOpen()) {
        context.err.WriteLine(options.file + ": error 125: cannot open the file");
        return kExitUsage;
    }
    if (int code = ParseAndValidate(file, firmware, model); code != kOk) {
        context.err.WriteLine(options.file + ": error " + std::to_string(code) + ": " +
                              kErrorTable[code].message);
        return code;
    }

    return context.withVisa(options.visaPath, [&](VisaLibrary& visa) {
        const std::vector<std::string> found = SearchBus(visa);
        if (found.empty()) {
            context.err.WriteLine("No instrument found.");
            return kExitNoInstrument;
        }
        std::vector<std::string> chosen;
        std::string problem;
        if (int status = ChooseInstruments(found, options.serials, options.all, chosen, problem)) {
            context.err.WriteLine(status == kExitSerialNotFound
                                      ? "fwtool update: not on the bus:" + problem
                                      : "fwtool update: several instruments, choose with "
                                        "--serial or --all:" +
                                            problem);
            return status;
        }
        for (const std::string& resource : chosen)
            if (const std::string problem = visa.AccessProblem(resource); !problem.empty()) {
                context.err.WriteLine("fwtool update: " + problem);
                return kExitNoAccess;
            }
        if (asks && !context.stdinIsTerminal)
            return Usage(context, "standard input is not a terminal: --yes is needed");
        if (asks && !Confirmed(context, chosen, options, firmware)) {
            if (context.interrupted) return kExitInterrupted;
            context.err.WriteLine(kErrorTable[kErrCancelled].message);
            return static_cast<int>(kErrCancelled);
        }
        if (context.interrupted) return kExitInterrupted;

        std::vector<std::string> serials;
        for (const std::string& resource : chosen) serials.push_back(SerialField(resource));
        std::unique_ptr<RunEvents> events;
        if (options.json)
            events = std::make_unique<JsonEvents>(context.out, context.nowMs);
        else
            events = std::make_unique<TextEvents>(context.out, context.err, serials, context.nowMs);
        TimerResolutionHold finePauses;
        const std::vector<RunEnd> ends =
            RunAll(context, visa, *events, chosen, options, firmware, report);
        if (!options.json && ends.size() > 1) static_cast<TextEvents&>(*events).Summary(ends);

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
        "number (in the order of --serial, or of the search); 2 answered no; 117 an "
        "instrument's device node may not be opened; 120 no "
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
    update->add_option("--visa", o->visaPath, kVisaOptionHelp);
    update->callback([&context, &status, o] { status = RunUpdateCommand(context, *o); });
}
