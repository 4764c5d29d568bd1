#pragma once
// The commands that talk to instruments: `fwtool list` and `fwtool update`. Each is a CLI11
// subcommand added by one function; when it is the one chosen, its callback stores the
// exit status in `status`.

#include <string>
#include <vector>

#include "command_context.h"
#include "commands.h"  // AddListCommand, AddUpdateCommand
#include "device_selection.h"

namespace CLI {
class App;
}

struct ListOptions {
    DeviceSelection devices;  // no --all: every instrument is listed unless serials are given
    bool json = false;
    bool verbose = false;
};

struct UpdateOptions {
    std::string file;
    DeviceSelection devices;
    bool yes = false;
    bool dryRun = false;
    bool okIfCurrent = false;  // error 19 ends the process with 0
    bool json = false;
    std::string reportPath;
};

int RunListCommand(CommandContext& context, const ListOptions& options);
int RunUpdateCommand(CommandContext& context, const UpdateOptions& options);
