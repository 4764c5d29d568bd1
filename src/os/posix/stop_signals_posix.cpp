#include <signal.h>

#include <cerrno>
#include <ctime>
#include <thread>

#include "os/stop_signals.h"

namespace os {

struct StopSignalsAccess {
    static void Take(StopSignals& stop, int number) { stop.Take(number); }
};

struct StopSignals::Impl {
    sigset_t set;
    std::atomic<bool> ending{false};
    std::thread waiter;
};

StopSignals::StopSignals(std::function<void()> onRepeat)
    : onRepeat_(std::move(onRepeat)), impl_(std::make_unique<Impl>()) {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);  // a file-size limit fails the write (EFBIG) instead
    sigemptyset(&impl_->set);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&impl_->set, number);
    pthread_sigmask(SIG_BLOCK, &impl_->set, nullptr);
    impl_->waiter = std::thread([this] {
        // Woken every 100 ms to see whether the program is ending.
        const timespec tick = {0, 100 * 1000 * 1000};
        while (!impl_->ending) {
            const int number = sigtimedwait(&impl_->set, nullptr, &tick);
            if (number > 0) StopSignalsAccess::Take(*this, number);
        }
    });
}

StopSignals::~StopSignals() {
    Finished();
}

void StopSignals::Finished() {
    if (!impl_->waiter.joinable()) return;
    impl_->ending = true;
    impl_->waiter.join();
}

}  // namespace os
