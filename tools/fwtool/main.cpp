// fwtool: checks firmware revision files the way the update utility does, and packs
// payload files into new ones.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

#include "command_context.h"
#include "commands.h"
#include "firmware/model_catalogue.h"
#include "help_format.h"
#include "os/os.h"

int UsageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "fwtool %s: %s\nRun with --help for more information.\n", command,
                 message.c_str());
    return kExitUsage;
}

// The first line is what packaging tools read the version from.
std::string VersionText() {
    std::string text = std::string("fwtool ") + UTILITY_VERSION + "\nModels:";
    for (const ModelRecord* model = ModelCatalogue; model->modelName[0] != '\0'; ++model)
        text += std::string(" ") + model->modelName;
    return text;
}

int main(int argc, char** argv) {
    CLI::App app(
        "Checks firmware revision files exactly as the K4417F update utility does,\n"
        "builds them from payload files, and lists and updates K4417F instruments.",
        "fwtool");
    // Set first: every command added below takes its parent's formatter.
    app.formatter(std::make_shared<WrappedHelp>(os::OutputColumns()));
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionText(), "show the version and the models known");
    app.footer(std::string("fwtool <command> --help shows a command's options.\n\n") +
               kExitStatusHelp);
    ProcessSurroundings process;  // first: no other thread may start before it
    int exitStatus = kExitOk;
    AddCheckCommand(app, exitStatus);
    AddPackCommand(app, exitStatus);
    AddListCommand(app, process.context(), exitStatus);
    AddUpdateCommand(app, process.context(), exitStatus);
    try {
        // UTF-8 throughout, whatever the system's code page (CLI11 takes them last first).
        std::vector<std::string> arguments = os::CommandLineArguments(argc, argv);
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        // --help is the one "error" that succeeds; every other parse error is a usage error.
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    return process.ExitStatus(exitStatus);
}
