// The instrument commands on the process: real streams and terminal, Ctrl+C, pauses and the
// VISA library that --visa names.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "commands.h"
#include "instrument_commands.h"
#include "platform.h"
#include "visa/visa_loader.h"

int RunInstrumentCommand(int argc, char** argv) {
    static std::atomic<bool> interrupted{false};
    SetInterruptFlag(interrupted);
    OutputStream out(stdout, false);
    OutputStream err(stderr, StderrIsTerminal());
    CommandContext context{
        out,
        err,
        [&err](const std::string& path, const std::function<int(VisaLibrary&)>& body) {
            std::string tried;
            std::unique_ptr<VisaLibrary> visa = LoadVisaLibrary(path, tried);
            if (!visa) {
                err.WriteLine("cannot load VISA library, tried: " + tried);
                return kExitNoVisaLibrary;
            }
            return body(*visa);
        },
        StdinIsTerminal(),
        ReadTerminalLine,
        SleepAtLeastMs,
        MonotonicMs,
        interrupted};
    CLI::App app("fwtool: the K4417F firmware update from the command line", "fwtool");
    app.require_subcommand(1);
    int status = 0;
    AddListCommand(app, context, status);
    AddUpdateCommand(app, context, status);
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
