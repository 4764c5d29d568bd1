#include "real_sleep_window.h"

#include <algorithm>
#include <thread>

#include "base/ascii.h"
#include "ui/control_ids.h"

namespace {

const char kCompletedLine[] = "--------------- Completed ---------------";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

void RealSleepWindow::SetControlText(int id, const std::string& text) {
    if (id == IDC_LOG && !completed && EndsWith(text, kCompletedLine)) {
        completedAt = Clock::now();
        completed = true;
    }
    texts[id] = text;
}

int RealSleepWindow::DeviceListFind(const std::string& prefix) {
    for (size_t i = 0; i < devices_.size(); ++i)
        if (StartsWithIgnoringCase(devices_[i], prefix)) return static_cast<int>(i);
    return -1;
}

std::string RealSleepWindow::DeviceListText(int limit) {
    if (selected_ < 0 || selected_ >= static_cast<int>(devices_.size())) return std::string();
    return devices_[selected_].substr(0, limit > 0 ? static_cast<size_t>(limit - 1) : 0);
}

int RealSleepWindow::MessageBox(const std::string& text, const std::string&, unsigned style, bool) {
    boxes.push_back(text);
    return (style & kMbYesNo) ? kIdYes : kIdOk;
}

bool RealSleepWindow::OpenFileDialog(std::string& path) {
    path = fileToChoose;
    return !path.empty();
}

void RealSleepWindow::Sleep(uint32_t ms) {
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    const double slept = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    PauseStats& stats = pauses[ms];
    const double over = slept - ms;
    ++stats.count;
    stats.askedMs += ms;
    stats.sleptMs += slept;
    stats.minOverMs = std::min(stats.minOverMs, over);
    stats.maxOverMs = std::max(stats.maxOverMs, over);
}

uint64_t RealSleepWindow::NowMs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
            .count());
}
