#include "os/stop_signals.h"
#include "os/win/os_windows.h"

namespace os {

struct StopSignalsAccess {
    static void Take(StopSignals& stop, int number) { stop.Take(number); }
};

namespace {

// A console control handler reaches no object but through static storage.
StopSignals* current = nullptr;
HANDLE finished = nullptr;

// How long a handler for close, log-off or shutdown waits for the cleanup. The system ends
// the process sooner (5 s after a close, as set for log-off and shutdown) if it will.
constexpr DWORD kCleanupWaitMs = 20000;

BOOL WINAPI OnConsoleControl(DWORD event) {
    int number = 0;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            number = 2;
            break;
        case CTRL_CLOSE_EVENT:
            number = 1;
            break;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            number = 15;
            break;
        default:
            return FALSE;
    }
    if (current) StopSignalsAccess::Take(*current, number);
    // Returning from these three ends the process at once: let the runs close first.
    if (number != 2 && finished) WaitForSingleObject(finished, kCleanupWaitMs);
    return TRUE;
}

}  // namespace

struct StopSignals::Impl {
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // null: none to wait for
    ~Impl() {
        if (finished) CloseHandle(finished);
    }
};

StopSignals::StopSignals(std::function<void()> onRepeat)
    : onRepeat_(std::move(onRepeat)), impl_(std::make_unique<Impl>()) {
    current = this;
    finished = impl_->finished;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    Finished();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    current = nullptr;
}

void StopSignals::Finished() {
    if (impl_->finished) SetEvent(impl_->finished);
}

}  // namespace os
