#pragma once
// fwtool's commands. main.cpp builds the one CLI::App and hands it to every Add...Command
// below, in the order the commands appear in `fwtool --help`. Each command lives in its own
// file (<name>_command.cpp) and its Add...Command:
//   - adds the subcommand with its options, description and footer to `app`, so that
//     `fwtool <name> --help` is generated from them;
//   - sets the subcommand's callback, which runs the command after the whole command line
//     parsed and stores the process exit status (exit_status.h) in `exitStatus`.
// Options are parsed into state the callback owns (captured by value or in a shared_ptr),
// never into globals: commands may run on several threads. A parse error never reaches a
// callback; main turns it into kExitUsage.
// A new command declares its Add...Command here and main.cpp calls it.

#include <string>

#include "exit_status.h"

namespace CLI {
class App;
}
struct CommandContext;

void AddCheckCommand(CLI::App& app, int& exitStatus);
void AddPackCommand(CLI::App& app, int& exitStatus);
// list and update talk to instruments through the process's surroundings (command_context.h).
void AddListCommand(CLI::App& app, CommandContext& context, int& exitStatus);
void AddUpdateCommand(CLI::App& app, CommandContext& context, int& exitStatus);

// Prints "fwtool <command>: <message>" and the hint to --help on stderr; returns kExitUsage.
int UsageError(const char* command, const std::string& message);
