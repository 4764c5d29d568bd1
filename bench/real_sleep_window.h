#pragma once
// A dialog stand-in whose Sleep really sleeps, for timing whole updates: it answers every
// question with Yes, offers one file to the open-file dialog, keeps the controls' texts,
// and measures how much longer than asked each pause lasted.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/window_services.h"

struct PauseStats {
    uint64_t count = 0;
    double askedMs = 0;       // total asked
    double sleptMs = 0;       // total slept
    double minOverMs = 1e30;  // least overshoot; below 0 would be a pause cut short
    double maxOverMs = 0;
};

class RealSleepWindow : public WindowServices {
  public:
    using Clock = std::chrono::steady_clock;

    std::string fileToChoose;
    std::map<int, std::string> texts;
    std::vector<std::string> boxes;         // texts of the boxes shown
    std::map<uint32_t, PauseStats> pauses;  // by the pause asked for, in ms
    bool completed = false;
    Clock::time_point completedAt;  // when the log gained the completion line

    void SetControlText(int id, const std::string& text) override;
    std::string GetControlText(int id) override { return texts[id]; }
    void EnableControl(int, bool) override {}
    void ScrollToEnd(int) override {}

    void DeviceListReset() override { devices_.clear(), selected_ = -1; }
    void DeviceListAdd(const std::string& name) override { devices_.push_back(name); }
    int DeviceListFind(const std::string& prefix) override;
    void DeviceListSelect(int index) override { selected_ = index; }
    std::string DeviceListText(int limit) override;

    void ProgressSetRange(uint16_t, uint16_t) override {}
    void ProgressSetPos(int) override {}
    void ProgressSetStep(int) override {}
    void ProgressStepIt() override {}

    int MessageBox(const std::string& text, const std::string& caption, unsigned style,
                   bool owned) override;
    bool OpenFileDialog(std::string& path) override;
    void PumpMessages() override {}
    void Sleep(uint32_t ms) override;
    uint64_t NowMs() override;

  private:
    std::vector<std::string> devices_;
    int selected_ = -1;
};
