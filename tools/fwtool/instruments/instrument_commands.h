#pragma once
// The commands that talk to instruments: `fwtool list` and `fwtool update`. Each is a CLI11
// subcommand added by one function; when it is the one chosen, its callback stores the
// exit status in `status`.

#include <string>
#include <vector>

#include "command_context.h"
#include "commands.h"  // AddListCommand, AddUpdateCommand

namespace CLI {
class App;
}

struct ListOptions {
    std::string visaPath;
    bool json = false;
    bool verbose = false;
};

// The help of --visa, which says what is used without it.
#ifdef _WIN32
constexpr char kVisaOptionHelp[] = "the VISA library to load";
#else
constexpr char kVisaOptionHelp[] =
    "the VISA library to load, or 'usbtmc' for the kernel's USBTMC driver (/dev/usbtmcN); "
    "without it: $FWTOOL_VISA, else the first vendor library that loads (libvisa.so, "
    "libvisa.so.7, libvisa.so.0, libiovisa.so, librsvisa.so), else usbtmc";
#endif

struct UpdateOptions {
    std::string file;
    std::vector<std::string> serials;
    bool all = false;
    bool yes = false;
    bool dryRun = false;
    bool okIfCurrent = false;  // error 19 ends the process with 0
    bool json = false;
    std::string reportPath;
    std::string visaPath;
};

int RunListCommand(CommandContext& context, const ListOptions& options);
int RunUpdateCommand(CommandContext& context, const UpdateOptions& options);
