// fwtool: checks firmware revision files the way the update utility does, and packs
// payload files into new ones.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

void PrintHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: fwtool <command> [options]\n"
                 "\n"
                 "commands:\n"
                 "  check FILE   parse and validate FILE exactly as the update utility does\n"
                 "  pack ...     build a firmware revision file from payload files\n"
                 "  list         list the instruments on the bus\n"
                 "  update FILE  update instruments with FILE\n"
                 "\n"
                 "fwtool <command> --help shows a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0) {
        PrintHelp(stdout);
        return 0;
    }
    if (std::strcmp(command, "check") == 0) return RunCheck(argc - 1, argv + 1);
    if (std::strcmp(command, "pack") == 0) return RunPack(argc - 1, argv + 1);
    if (std::strcmp(command, "list") == 0 || std::strcmp(command, "update") == 0)
        return RunInstrumentCommand(argc, argv);
    std::fprintf(stderr, "fwtool: unknown command '%s'\n\n", command);
    PrintHelp(stderr);
    return kExitUsage;
}
