#include "fleet/run_lines.h"

#include <algorithm>

#include "base/result_code.h"
#include "instrument/identification.h"

std::string RunLines::revisions() const {
    return RevisionField(firstReply_);
}

void RunLines::Log(const std::string& text, LogEnd end) {
    pending_ += text;
    if (end == LogEnd::kCompleted) Flush();
}

void RunLines::Progress(uint32_t done, uint32_t total) {
    if (done == 0) {
        // The window's bar has 16-bit limits: three steps per sector and one more.
        sectors_ = (static_cast<uint16_t>(total) - 1) / 3;
        return;
    }
    if (sectors_ <= 0) return;
    const int percent = std::min(100, static_cast<int>(done) * 100 / sectors_);
    events_.Progress(serial_, section_, sections_, percent);
}

void RunLines::End(int code) {
    // The completion banner has no line end of its own; a failure's unfinished line
    // (empty, often) is where the window puts its error number, which the end restates.
    if (code != kOk || !pending_.empty()) Flush();
}

void RunLines::Flush() {
    events_.Log(serial_, pending_);
    pending_.clear();
}
