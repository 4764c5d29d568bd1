#pragma once
// Window services before the dialog exists: the identity check only shows message boxes,
// which have no owner then. Every other service has nothing to act on.

#include "ui/window_services.h"

class StartupWindow : public WindowServices {
  public:
    void SetControlText(int, const std::string&) override {}
    std::string GetControlText(int) override { return std::string(); }
    void EnableControl(int, bool) override {}
    void ScrollToEnd(int) override {}
    void DeviceListReset() override {}
    void DeviceListAdd(const std::string&) override {}
    int DeviceListFind(const std::string&) override { return -1; }
    void DeviceListSelect(int) override {}
    std::string DeviceListText(int) override { return std::string(); }
    void ProgressSetRange(uint16_t, uint16_t) override {}
    void ProgressSetPos(int) override {}
    void ProgressSetStep(int) override {}
    void ProgressStepIt() override {}
    int MessageBox(const std::string& text, const std::string& caption, unsigned style,
                   bool owned = true) override;
    bool OpenFileDialog(std::string&) override { return false; }
    void PumpMessages() override {}
    void Sleep(uint32_t ms) override;
    uint64_t NowMs() override { return 0; }
};
