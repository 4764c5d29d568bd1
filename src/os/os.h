#pragma once
// What the programs need from the operating system: here the terminal and its question, the
// monotonic clock and pauses, the 1 ms timer; beside it the stop signals (stop_signals.h),
// the output thread (output_writer.h), the durable record (record_file.h) and the
// instrument lock (instrument_lock.h). One implementation per platform (posix/, win/),
// chosen by the build as the target fw_os; neither holds any state but what its objects
// own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/run_clock.h"
#include "base/stdio_file.h"

namespace os {

bool StdinIsTerminal();
// On Windows this also turns on the escape sequences the progress display redraws with.
bool StderrIsTerminal();

// The width of the terminal that stdout writes to, in columns; kDefaultColumns when it is
// none.
constexpr int kDefaultColumns = 80;
int OutputColumns();

// The program's arguments in UTF-8, without the program's name: on Windows taken again from
// the wide command line, since argv holds them in the ANSI code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Opens the file at the UTF-8 `path` as fopen does (on Windows by its wide name); a folder
// is not opened. `error`, when given, receives 0 or the system's error code (its text:
// SystemErrorText in record_file.h).
StdioFile OpenFile(const std::string& path, const char* mode, int* error = nullptr);

// Asks `question` on the terminal itself (/dev/tty; CONIN$ and CONOUT$ on Windows), so that
// redirected output does not hide it, and reads one line, without its line end. False at
// end of input or once `stop` is set (seen within 100 ms on POSIX; on Windows Ctrl+C ends
// the console's read).
bool AskTerminal(const std::string& question, std::string& answer, const std::atomic<bool>& stop);

// Blocks the calling thread for at least `ms` milliseconds: on Windows by the performance
// counter, sleeping again for whatever is left should Sleep return early.
void SleepAtLeastMs(uint32_t ms);
// Milliseconds of a monotonic clock.
uint64_t MonotonicMs();
// The current time in UTC, ISO 8601 to the second ("2026-01-31T12:00:00Z").
std::string UtcTimestamp();

// The real pauses and clock, for runs.
class SystemClock : public RunClock {
  public:
    void Sleep(uint32_t ms) override { SleepAtLeastMs(ms); }
    uint64_t NowMs() override { return MonotonicMs(); }
};

// Pauses as short as asked for while it lives: a 1 ms system timer on Windows (whose
// pauses otherwise end on 15.6 ms ticks); nothing elsewhere.
class TimerResolutionHold {
  public:
    TimerResolutionHold();
    ~TimerResolutionHold();
    TimerResolutionHold(const TimerResolutionHold&) = delete;
    TimerResolutionHold& operator=(const TimerResolutionHold&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace os
