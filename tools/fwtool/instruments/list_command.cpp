// fwtool list: every instrument on the bus, its mode and its revisions. Sends nothing but
// "*IDN?\n".
#include <CLI/CLI.hpp>

#include "base/printable_text.h"
#include "fleet/bus.h"
#include "instrument/resource_name.h"
#include "instrument_commands.h"
#include "json_line.h"
#include "os/instrument_lock.h"

int RunListCommand(CommandContext& context, const ListOptions& options) {
    return context.withVisa(options.visaPath, [&](VisaLibrary& visa) {
        const std::vector<std::string> found = SearchBus(visa);
        if (found.empty()) {
            context.err.WriteLine("No instrument found.");
            return kExitNoInstrument;
        }
        for (const std::string& resource : found) {
            if (context.interrupted) return kExitInterrupted;
            // An instrument that an update holds is not opened: "*IDN?" would reach its
            // writer. Held while identifying, so that no update starts meanwhile.
            os::InstrumentLock lock;
            const InstrumentState listed =
                lock.Take(SerialFromResource(resource)) == os::InstrumentLock::kBusy
                    ? InstrumentState{"busy", 0, ""}
                    : IdentifyInstrument(visa, resource);
            if (options.json) {
                nlohmann::json line{{"resource", resource},
                                    {"serial", SerialFromResource(resource)},
                                    {"mode", listed.mode},
                                    {"revisions", listed.revisions}};
                if (listed.mode == "unknown") line["code"] = listed.code;
                context.out.WriteLine(JsonLine(line));
            } else {
                const std::string mode = listed.mode == "unknown"
                                             ? "unknown(" + std::to_string(listed.code) + ")"
                                             : listed.mode;
                context.out.WriteLine(PrintableText(resource) + "  " +
                                      PrintableText(SerialFromResource(resource)) + "  " + mode +
                                      "  " + PrintableText(listed.revisions));
            }
        }
        return 0;
    });
}

void AddListCommand(CLI::App& app, CommandContext& context, int& status) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand(
        "list",
        "List the K4417F instruments on the bus: resource, serial, mode (normal, writer, busy "
        "while another fwtool updates it, or unknown(code)) and revision field. Exit status 0, "
        "120 when none is found, 123 when no VISA library loads.");
    list->add_option("--visa", options->visaPath, "the VISA library to load");
    list->add_flag("--json", options->json,
                   "one JSON object per line: resource, serial, mode, revisions (code)");
    list->callback([&context, &status, options] { status = RunListCommand(context, *options); });
}
