#pragma once
// fwtool's commands. Each returns the process exit status.

#include <cstdio>

// Exit status for a usage error or a file that cannot be opened or written.
constexpr int kExitUsage = 125;

int RunCheck(int argc, char** argv);              // argv[0] is "check"
int RunPack(int argc, char** argv);               // argv[0] is "pack"
int RunInstrumentCommand(int argc, char** argv);  // list, update (argv[0] is "fwtool")

void PrintCheckHelp(std::FILE* out);
void PrintPackHelp(std::FILE* out);
