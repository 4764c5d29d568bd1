// fwtool list: every instrument on the bus, its mode and its revisions. Sends nothing but
// "*IDN?\n".
#include <CLI/CLI.hpp>

#include "base/printable_text.h"
#include "fleet/bus.h"
#include "fleet/choice.h"
#include "instrument/resource_name.h"
#include "instrument_commands.h"
#include "json_line.h"

int RunListCommand(CommandContext& context, const ListOptions& options) {
    return context.withVisa(options.devices.visaPath, [&](VisaLibrary& visa) {
        if (options.verbose) context.err.WriteLine("VISA backend: " + context.visaInUse);
        const std::vector<std::string> found = SearchBus(visa);
        if (found.empty()) {
            context.err.WriteLine("No instrument found.");
            return kExitNoInstrument;
        }
        std::vector<std::string> missing;
        for (const std::string& resource :
             InstrumentsNamed(found, options.devices.serials, missing)) {
            if (context.interrupted) return kExitInterrupted;
            const ListedInstrument listed = ExamineInstrument(visa, resource);
            if (!listed.why.empty() && options.verbose)
                context.err.WriteLine(PrintableText(listed.why));
            const std::string mode = StateName(listed.state);
            if (options.json) {
                nlohmann::json line{{"resource", resource},
                                    {"serial", SerialFromResource(resource)},
                                    {"mode", mode},
                                    {"revisions", listed.revisions}};
                if (listed.state == InstrumentState::kUnknown) line["code"] = listed.code;
                context.out.WriteLine(JsonLine(line));
            } else {
                const std::string shown = listed.state == InstrumentState::kUnknown
                                              ? mode + "(" + std::to_string(listed.code) + ")"
                                              : mode;
                context.out.WriteLine(PrintableText(resource) + "  " +
                                      PrintableText(SerialFromResource(resource)) + "  " + shown +
                                      "  " + PrintableText(listed.revisions));
            }
        }
        for (const std::string& serial : missing)
            context.err.WriteLine("fwtool list: not on the bus: " + serial);
        return missing.empty() ? 0 : kExitSerialNotFound;
    });
}

void AddListCommand(CLI::App& app, CommandContext& context, int& status) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand(
        "list",
        "List the K4417F instruments on the bus: resource, serial, mode (normal, writer, busy "
        "while another fwtool updates it or when its lock cannot be taken, no-access when this "
        "user may not open it, or unknown(code)) and revision field. Exit status 0, 120 when "
        "none is found, 121 when a --serial is not on the bus, 123 when no "
        "VISA library loads.");
    AddDeviceSelection(*list, options->devices, "list this instrument only");
    list->add_flag("--verbose", options->verbose,
                   "say on stderr which VISA backend is in use, and why an instrument is "
                   "no-access or its lock cannot be taken");
    list->add_flag("--json", options->json,
                   "one JSON object per line: resource, serial, mode, revisions (code)");
    list->callback([&context, &status, options] { status = RunListCommand(context, *options); });
}
