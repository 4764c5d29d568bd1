#pragma once
// What the instrument commands (list, update) get from their surroundings: main gives the
// process's streams, terminal, clock and VISA library; tests give captured streams, scripted
// answers, the simulated instrument and a virtual clock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "exit_status.h"
#include "os/os.h"
#include "os/output_writer.h"
#include "os/stop_signals.h"
#include "output_stream.h"

class RunClock;
class VisaLibrary;

struct CommandContext {
    OutputStream& out;
    OutputStream& err;
    // Runs `body` with the VISA library that `path` names ("": the platform's usual places)
    // and returns its status; main answers kExitNoVisaLibrary itself when none loads.
    std::function<int(const std::string& path, const std::function<int(VisaLibrary&)>& body)>
        withVisa;
    bool stdinIsTerminal = false;
    // Asks the question and gives the answer typed on the terminal; false when none can
    // come (end of input, a stop).
    std::function<bool(const std::string& question, std::string& answer)> ask;
    RunClock& clock;
    // Set by Ctrl+C and the other stop signals; every run polls it.
    std::atomic<bool>& interrupted;
    // What withVisa loaded last: the library file, or "usbtmc" (the kernel's driver).
    std::string visaInUse = {};
    // The process's status for a stop: 128 + the signal that came (130 when none did).
    std::function<int()> stopStatus = [] { return kExitInterrupted; };
};

// The surroundings of a real process: stdout and stderr written by the output thread, the
// terminal, the stop signals (from the construction on), real pauses and the VISA library
// loaded from --visa or the usual places (kExitNoVisaLibrary when none loads). One per
// process, made first in main: it blocks the stop signals before any other thread starts.
class ProcessSurroundings {
  public:
    ProcessSurroundings();
    ~ProcessSurroundings();  // writes what is queued for stdout and stderr, within 2 s
    ProcessSurroundings(const ProcessSurroundings&) = delete;
    ProcessSurroundings& operator=(const ProcessSurroundings&) = delete;
    CommandContext& context() { return context_; }
    // A command's status as the process's: a run cut short by a signal ends with 128 + it.
    int ExitStatus(int commandStatus) const;

  private:
    void Acknowledge();  // a repeated stop signal

    std::atomic<bool> acknowledged_{false};
    os::StopSignals stop_;
    os::SystemClock clock_;
    os::OutputWriter writer_;
    OutputStream out_;
    OutputStream err_;
    CommandContext context_;
};
