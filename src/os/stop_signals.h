#pragma once
// The ways an unattended job is ended, all taken like Ctrl+C: SIGINT, SIGTERM and SIGHUP on
// POSIX; Ctrl+C, Ctrl+Break, closing the console window, log-off and shutdown on Windows.
// The first one sets the stop flag that every run polls (a section being written is
// finished, no other starts); later ones are reported to `onRepeat`, which the program
// uses to say once that it is finishing.
//
// POSIX: the signals are blocked in the thread that makes the object, and so in every thread
// started after it, and taken by one thread of its own with sigtimedwait: no VISA call or
// write is ever cut short with EINTR. SIGPIPE and SIGXFSZ are ignored: a closed pipe or a
// file-size limit fails the write instead of ending the process. Make it first in main, before any
// other thread starts. Windows: a console control handler. For close, log-off and shutdown the
// system ends the process as soon as the handler returns, so the handler waits (as long as the
// system lets it, about 5 seconds) until Finished() is called.

#include <atomic>
#include <functional>
#include <memory>

namespace os {

class StopSignals {
  public:
    explicit StopSignals(std::function<void()> onRepeat);
    ~StopSignals();  // calls Finished()
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    std::atomic<bool>& requested() { return requested_; }
    // The signal taken first (SIGINT 2, SIGHUP 1, SIGTERM 15; on Windows Ctrl+C and
    // Ctrl+Break count as 2, closing the console as 1, log-off and shutdown as 15); 0: none.
    int signal() const { return signal_; }
    // The cleanup is done: a waiting close handler may let the process end.
    void Finished();

  private:
    struct Impl;
    std::atomic<bool> requested_{false};
    std::atomic<int> signal_{0};
    std::function<void()> onRepeat_;
    std::unique_ptr<Impl> impl_;

    void Take(int number);  // from the platform's side
    friend struct StopSignalsAccess;
};

}  // namespace os
