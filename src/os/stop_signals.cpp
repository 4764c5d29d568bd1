#include "os/stop_signals.h"

namespace os {

void StopSignals::Take(int number) {
    int none = 0;
    if (signal_.compare_exchange_strong(none, number)) {
        requested_ = true;
        return;
    }
    if (onRepeat_) onRepeat_();
}

}  // namespace os
