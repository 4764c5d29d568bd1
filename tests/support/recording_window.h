#pragma once
// A dialog stand-in for tests: records what the logic does to the controls, answers
// message boxes and the open-file dialog from a script, and never really sleeps.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/run_clock.h"
#include "ui/control_ids.h"
#include "ui/window_services.h"

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned style;
    bool owned;
    bool operator==(const RecordedBox& o) const {
        return text == o.text && caption == o.caption && style == o.style && owned == o.owned;
    }
};

// Its pauses and clock also serve a link or updater driven without the dialog.
class RecordingWindow : public WindowServices, public RunClock {
  public:
    // Control state.
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;  // absent means enabled
    bool IsEnabled(int id) const {
        auto it = enabled.find(id);
        return it == enabled.end() || it->second;
    }
    std::string Log() const {
        auto it = texts.find(IDC_LOG);
        return it == texts.end() ? std::string() : it->second;
    }

    // Device list.
    std::vector<std::string> devices;  // kept sorted, as the real combo box is
    int selected = -1;

    // Progress bar messages, in order: "range 0 7", "pos 0", "step 1", "stepit".
    std::vector<std::string> progress;
    int StepCount() const;

    // Boxes shown, in order, and the answers to give (kIdOk when the script is empty).
    std::vector<RecordedBox> boxes;
    std::deque<int> boxAnswers;

    // File dialog: each call takes the next entry; an empty optional path means Cancel.
    std::deque<std::string> filesToChoose;  // "" = cancel
    int fileDialogs = 0;

    // Pauses requested, in order (never waited). Tests may hook each one, to advance a
    // simulated clock.
    std::vector<uint32_t> sleeps;
    std::function<void(uint32_t)> onSleep;
    uint64_t TotalSleepMs() const;

    int pumps = 0;
    std::function<void()> onPump;  // e.g. a click arriving during the transfer

    void SetControlText(int id, const std::string& text) override { texts[id] = text; }
    std::string GetControlText(int id) override { return texts[id]; }
    void EnableControl(int id, bool on) override { enabled[id] = on; }
    void ScrollToEnd(int) override { ++scrolls; }
    int scrolls = 0;

    void DeviceListReset() override;
    void DeviceListAdd(const std::string& name) override;
    int DeviceListFind(const std::string& prefix) override;
    void DeviceListSelect(int index) override;
    std::string DeviceListText(int limit) override;

    void ProgressSetRange(uint16_t low, uint16_t high) override;
    void ProgressSetPos(int pos) override;
    void ProgressSetStep(int step) override;
    void ProgressStepIt() override;

    int MessageBox(const std::string& text, const std::string& caption, unsigned style,
                   bool owned) override;
    bool OpenFileDialog(std::string& path) override;
    void PumpMessages() override;
    void Sleep(uint32_t ms) override;
    // The pauses so far: the window's clock.
    uint64_t NowMs() override { return TotalSleepMs(); }
};
