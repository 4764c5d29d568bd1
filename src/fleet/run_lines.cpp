#include "fleet/run_lines.h"

#include <algorithm>

#include "base/result_code.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"

std::string RunLines::revisions() const {
    return RevisionField(firstReply_);
}

void RunLines::Log(const std::string& text, LogEnd end) {
    pending_ += text;
    if (end == LogEnd::kCompleted) Flush();
}

void RunLines::Progress(uint32_t done, uint32_t total) {
    // Every step of the section counts: three per sector and one more.
    if (done == 0 || total == 0) return;
    const int percent = static_cast<int>(std::min<uint64_t>(100, uint64_t{done} * 100 / total));
    events_.Progress(serial_, section_, sections_, percent);
}

void RunLines::SectionWritten(int index, int count, const SectionSpec& region) {
    ++sectionsWritten_;
    // A section in the flash is whole, whether or not its writer reported every step.
    events_.Progress(serial_, index, count, 100);
    events_.SectionWritten(serial_, index, count, region.name);
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
