#include "recording_window.h"

#include <algorithm>

#include "base/ascii.h"

int RecordingWindow::StepCount() const {
    return static_cast<int>(std::count(progress.begin(), progress.end(), "stepit"));
}

uint64_t RecordingWindow::TotalSleepMs() const {
    uint64_t total = 0;
    for (uint32_t ms : sleeps) total += ms;
    return total;
}

void RecordingWindow::DeviceListReset() {
    devices.clear();
    selected = -1;
}

void RecordingWindow::DeviceListAdd(const std::string& name) {
    // A sorted combo box compares without regard to letter case.
    auto at = std::upper_bound(devices.begin(), devices.end(), name,
                               [](const std::string& a, const std::string& b) {
                                   return LowerCaseAscii(a) < LowerCaseAscii(b);
                               });
    devices.insert(at, name);
}

int RecordingWindow::DeviceListFind(const std::string& prefix) {
    for (size_t i = 0; i < devices.size(); ++i)
        if (StartsWithIgnoringCase(devices[i], prefix)) return static_cast<int>(i);
    return -1;
}

void RecordingWindow::DeviceListSelect(int index) {
    selected = (index >= 0 && index < static_cast<int>(devices.size())) ? index : -1;
}

std::string RecordingWindow::DeviceListText(int limit) {
    if (selected < 0) return std::string();
    std::string text = devices[selected];
    if (limit > 0 && static_cast<int>(text.size()) > limit - 1) text.resize(limit - 1);
    return text;
}

void RecordingWindow::ProgressSetRange(uint16_t low, uint16_t high) {
    progress.push_back("range " + std::to_string(low) + " " + std::to_string(high));
}
void RecordingWindow::ProgressSetPos(int pos) {
    progress.push_back("pos " + std::to_string(pos));
}
void RecordingWindow::ProgressSetStep(int step) {
    progress.push_back("step " + std::to_string(step));
}
void RecordingWindow::ProgressStepIt() {
    progress.push_back("stepit");
}

int RecordingWindow::MessageBox(const std::string& text, const std::string& caption, unsigned style,
                                bool owned) {
    boxes.push_back({text, caption, style, owned});
    if (boxAnswers.empty()) return kIdOk;
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

bool RecordingWindow::OpenFileDialog(std::string& path) {
    ++fileDialogs;
    if (filesToChoose.empty()) return false;
    std::string next = filesToChoose.front();
    filesToChoose.pop_front();
    if (next.empty()) return false;
    path = next;
    return true;
}

void RecordingWindow::PumpMessages() {
    ++pumps;
    if (onPump) onPump();
}

void RecordingWindow::Sleep(uint32_t ms) {
    sleeps.push_back(ms);
    if (onSleep) onSleep(ms);
}
