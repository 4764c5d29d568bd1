// fwtool list: every instrument on the bus, its mode and its revisions. Sends nothing but
// "*IDN?\n".
#include <CLI/CLI.hpp>

#include "bus_search.h"
#include "command_window.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "instrument_commands.h"
#include "json_line.h"
#include "ui/error_table.h"

namespace {

struct Listed {
    std::string mode;  // "normal", "writer", "unknown" or "no-access"
    int code = kOk;    // the identification's failure, for "unknown"
    std::string revisions;
};

Listed Identify(VisaLibrary& visa, const std::string& resource) {
    std::string vid, pid;
    BuiltInIds(vid, pid);
    CommandWindow window(SerialField(resource), nullptr, [](uint32_t) {});
    window.Choose(resource);
    InstrumentLink link(visa, window, vid, pid);
    Listed listed;
    listed.code = link.ConnectDevice();
    std::string reply;
    if (listed.code == kOk) listed.code = IdentifyDevice(link, *FindModel("K4417F"), reply);
    link.DisconnectDevice();
    listed.mode = listed.code == kErrNotWriterMode ? "normal"
                  : listed.code == kOk             ? "writer"
                                                   : "unknown";
    if (listed.mode != "unknown") listed.code = kOk;
    listed.revisions = RevisionField(reply);
    return listed;
}

}  // namespace

int RunListCommand(CommandContext& context, const ListOptions& options) {
    return context.withVisa(options.visaPath, [&](VisaLibrary& visa) {
        if (options.verbose) context.err.WriteLine("VISA backend: " + context.visaInUse);
        const std::vector<std::string> found = SearchBus(visa);
        if (found.empty()) {
            context.err.WriteLine("No instrument found.");
            return kExitNoInstrument;
        }
        for (const std::string& resource : found) {
            // An instrument this user may not open is named, not opened.
            const std::string noAccess = visa.AccessProblem(resource);
            if (!noAccess.empty() && options.verbose) context.err.WriteLine(noAccess);
            const Listed listed =
                noAccess.empty() ? Identify(visa, resource) : Listed{"no-access", kOk, ""};
            if (options.json) {
                nlohmann::json line{{"resource", resource},
                                    {"serial", SerialField(resource)},
                                    {"mode", listed.mode},
                                    {"revisions", listed.revisions}};
                if (listed.mode == "unknown") line["code"] = listed.code;
                context.out.WriteLine(JsonLine(line));
            } else {
                const std::string mode = listed.mode == "unknown"
                                             ? "unknown(" + std::to_string(listed.code) + ")"
                                             : listed.mode;
                context.out.WriteLine(resource + "  " + SerialField(resource) + "  " + mode + "  " +
                                      listed.revisions);
            }
        }
        return 0;
    });
}

void AddListCommand(CLI::App& app, CommandContext& context, int& status) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand(
        "list",
        "List the K4417F instruments on the bus: resource, serial, mode (normal, writer, "
        "unknown(code), or no-access: this user may not open it) and revision field. Exit status "
        "0, 120 when none is found, 123 when "
        "no VISA library loads.");
    list->add_option("--visa", options->visaPath, kVisaOptionHelp);
    list->add_flag("--verbose", options->verbose,
                   "say on stderr which VISA backend is in use, and why an instrument is "
                   "no-access");
    list->add_flag("--json", options->json,
                   "one JSON object per line: resource, serial, mode, revisions (code)");
    list->callback([&context, &status, options] { status = RunListCommand(context, *options); });
}
