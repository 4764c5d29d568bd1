#pragma once
// What the portable logic may do to the dialog. The Windows program implements it over
// real controls; tests implement it with a recorder that answers boxes and file dialogs
// from a script. Control ids come from control_ids.h.

#include <cstdint>
#include <string>

#include "base/result_messages.h"  // the box styles and answers

class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Controls.
    virtual void SetControlText(int id, const std::string& text) = 0;
    virtual std::string GetControlText(int id) = 0;
    virtual void EnableControl(int id, bool enabled) = 0;
    // Repaints the control at once and scrolls a multi-line edit so its end is visible
    // (UpdateWindow, then EM_LINESCROLL by the vertical scroll limit).
    virtual void ScrollToEnd(int id) = 0;

    // The device list (a sorted drop-down combo box).
    virtual void DeviceListReset() = 0;
    virtual void DeviceListAdd(const std::string& name) = 0;
    // CB_FINDSTRING from the top: index of the first entry beginning with `prefix`,
    // letter case ignored, or -1.
    virtual int DeviceListFind(const std::string& prefix) = 0;
    virtual void DeviceListSelect(int index) = 0;
    // Text of the selected entry, empty when none; at most `limit - 1` characters.
    virtual std::string DeviceListText(int limit) = 0;

    // The progress bar, message by message.
    virtual void ProgressSetRange(uint16_t low, uint16_t high) = 0;
    virtual void ProgressSetPos(int pos) = 0;
    virtual void ProgressSetStep(int step) = 0;
    virtual void ProgressStepIt() = 0;

    // A modal message box; owned by the dialog unless `owned` is false. Returns kId*.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style,
                           bool owned = true) = 0;

    // The modal open-file dialog. False when the operator did not confirm with OK.
    virtual bool OpenFileDialog(std::string& path) = 0;

    // Dispatches every pending window message, returning when the queue is empty.
    virtual void PumpMessages() = 0;

    // Blocks the thread for `ms` milliseconds (at least that long).
    virtual void Sleep(uint32_t ms) = 0;
    // Milliseconds of the monotonic clock that these pauses go by.
    virtual uint64_t NowMs() = 0;
};
