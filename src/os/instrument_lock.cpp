#include "os/instrument_lock.h"

#include "base/ascii.h"

namespace os {

std::string InstrumentLockName(const std::string& serial) {
    std::string name = "fwtool-";
    for (char c : serial) {
        const char upper = UpperAscii(c);
        const bool plain = (upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9') ||
                           upper == '-' || upper == '_' || upper == '.';
        name += plain ? upper : '_';
    }
    return name;
}

}  // namespace os
