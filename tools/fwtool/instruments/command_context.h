#pragma once
// What the instrument commands (list, update) get from their surroundings: main gives the
// process's streams, terminal and VISA library; tests give captured streams, scripted
// answers, the simulated instrument and a virtual clock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "exit_status.h"
#include "output_stream.h"

class VisaLibrary;

struct CommandContext {
    OutputStream& out;
    OutputStream& err;
    // Runs `body` with the VISA library that `path` names ("": the platform's usual places)
    // and returns its status; main answers kExitNoVisaLibrary itself when none loads.
    std::function<int(const std::string& path, const std::function<int(VisaLibrary&)>& body)>
        withVisa;
    bool stdinIsTerminal = false;
    // One answer typed on the terminal; false when none can come (end of input, Ctrl+C).
    std::function<bool(std::string&)> readAnswer;
    std::function<void(uint32_t)> sleep;  // at least as long as asked
    std::function<uint64_t()> nowMs;
    // Set by Ctrl+C; every run polls it.
    std::atomic<bool>& interrupted;
    // What withVisa loaded last: the library file, or "usbtmc" (the kernel's driver).
    std::string visaInUse = {};
};

// The surroundings of a real process: stdout, stderr, the terminal, Ctrl+C (from the
// construction on), real pauses and the VISA library loaded from --visa or the usual places
// (kExitNoVisaLibrary when none loads). One per process: it owns the interrupt flag.
class ProcessSurroundings {
  public:
    ProcessSurroundings();
    ProcessSurroundings(const ProcessSurroundings&) = delete;
    ProcessSurroundings& operator=(const ProcessSurroundings&) = delete;
    CommandContext& context() { return context_; }

  private:
    std::atomic<bool> interrupted_{false};
    OutputStream out_;
    OutputStream err_;
    CommandContext context_;
};
