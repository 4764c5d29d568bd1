#pragma once
// The window services of one command-line run: the device list holds the resources of a
// search or the one instrument chosen, the log pane turns into completed lines, the section
// counter and the progress bar into progress events, and the confirmation is answered Yes
// (the command line asked already). The other boxes (the error report's and the final one)
// say what the run's end line says. Pauses really pause.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run_events.h"
#include "ui/window_services.h"

class CommandWindow : public WindowServices {
  public:
    // `events` may be null (a search, the list command): nothing is reported.
    CommandWindow(std::string serial, RunEvents* events, std::function<void(uint32_t)> sleep);

    // Puts `resource` alone in the device list, selected.
    void Choose(const std::string& resource);
    const std::vector<std::string>& devices() const { return devices_; }
    // The unfinished last line of the log.
    const std::string& pendingLine() const { return pending_; }

    void SetControlText(int id, const std::string& text) override;
    std::string GetControlText(int id) override;
    void EnableControl(int, bool) override {}
    void ScrollToEnd(int) override {}

    void DeviceListReset() override;
    void DeviceListAdd(const std::string& name) override { devices_.push_back(name); }
    int DeviceListFind(const std::string& prefix) override;
    void DeviceListSelect(int index) override { selected_ = index; }
    std::string DeviceListText(int limit) override;

    void ProgressSetRange(uint16_t, uint16_t high) override { progressMax_ = high; }
    void ProgressSetPos(int pos) override;
    void ProgressSetStep(int step) override { progressStep_ = step; }
    void ProgressStepIt() override { ProgressSetPos(progressPos_ + progressStep_); }

    int MessageBox(const std::string& text, const std::string& caption, unsigned style,
                   bool owned) override;
    bool OpenFileDialog(std::string&) override { return false; }
    void PumpMessages() override {}
    void Sleep(uint32_t ms) override { sleep_(ms); }

  private:
    std::string serial_;
    RunEvents* events_;
    std::function<void(uint32_t)> sleep_;
    std::vector<std::string> devices_;
    int selected_ = -1;
    std::string log_;
    std::string pending_;
    int section_ = 0, sections_ = 0;
    int progressMax_ = 0, progressPos_ = 0, progressStep_ = 1;
};
