#pragma once
// The program's only window: the modal dialog of template 102. It routes the buttons to
// the dialog logic (ui/update_dialog.h) and gives it window services over the real controls.

#include <optional>
#include <string>

#include "ui/update_dialog.h"
#include "ui/win/html_help.h"
#include "ui/win/win_handles.h"
#include "ui/window_services.h"

class VisaLibrary;

class CFirmwareUpdateDlg : public WindowServices {
  public:
    // Opens the VISA resource manager through `visa`, which must outlive the dialog.
    CFirmwareUpdateDlg(VisaLibrary& visa, const std::string& vid, const std::string& pid);
    CFirmwareUpdateDlg(const CFirmwareUpdateDlg&) = delete;
    CFirmwareUpdateDlg& operator=(const CFirmwareUpdateDlg&) = delete;

    // Runs the dialog modally without parent; returns how it ended (IDOK, IDCANCEL, -1).
    INT_PTR DoModal();

    // WindowServices over the dialog's controls.
    void SetControlText(int id, const std::string& text) override;
    std::string GetControlText(int id) override;
    void EnableControl(int id, bool enabled) override;
    void ScrollToEnd(int id) override;
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
                   bool owned = true) override;
    bool OpenFileDialog(std::string& path) override;
    void PumpMessages() override;
    void Sleep(uint32_t ms) override;
    uint64_t NowMs() override;

  private:
    static INT_PTR CALLBACK StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    bool OnPaint();
    void OnShowWindow();
    bool OnCommand(int id);
    bool OnClose();
    void OnDestroy();
    void OnMoreInfo();
    void ShowMoreInfo(bool shown);
    UniqueFont MakeBoldFont(int id);
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    HWND window_ = nullptr;
    HICON icon_ = nullptr;  // a shared resource icon: the system frees it
    UniqueFont browseFont_;
    UniqueFont logFont_;
    HtmlHelpLauncher help_;
    std::optional<UpdateDialog> updater_;  // from construction to WM_DESTROY
};
