// fwtool list and fwtool update on this process (main hands them the whole command line).
#include <CLI/CLI.hpp>

#include "commands.h"
#include "instrument_commands.h"

int RunInstrumentCommand(int argc, char** argv) {
    static ProcessSurroundings process;
    CLI::App app("fwtool: the K4417F firmware update from the command line", "fwtool");
    app.require_subcommand(1);
    int status = 0;
    AddListCommand(app, process.context(), status);
    AddUpdateCommand(app, process.context(), status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return kExitUsage;
    }
    return status;
}
