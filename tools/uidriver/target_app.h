#pragma once
// The program under test as an operator sees it: its process, its dialog, the message
// boxes and the open-file dialog it shows. Everything goes through window messages.

#include <windows.h>

#include <string>
#include <vector>

class TargetApp {
  public:
    ~TargetApp();

    // Starts `exe` in its own folder and waits for its main dialog.
    bool Start(const std::string& exe, std::string& error);
    // Takes a program that is already running, found by its dialog.
    bool Attach(std::string& error);

    HWND dialog() const { return dialog_; }
    DWORD processId() const { return processId_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }

    // A top-level #32770 window of the program other than the main dialog: a message box
    // has the static text 0xFFFF, the open-file dialog the file name box 1148.
    HWND FindMessageBox() const;
    HWND FindFileDialog() const;
    // Top-level windows of the program with this class name.
    std::vector<HWND> WindowsOfClass(const char* className) const;

    // Waits until the program has handled everything sent before (a sent message is
    // handled only when its thread takes messages); false when it did not in time.
    bool Sync() const;
    bool Alive() const;
    // Waits for the process to end; false on timeout.
    bool WaitExit(DWORD ms) const;
    DWORD ExitCode() const;
    void TerminateIfStarted();

  private:
    bool FindDialog(DWORD ms);

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND dialog_ = nullptr;
    bool started_ = false;
};

// Text of any window, through WM_GETTEXT (answered across processes).
std::string WindowText(HWND window);
// Polls `condition` every 20 ms until it holds or `ms` have passed.
template <typename F>
bool WaitFor(DWORD ms, F condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(20);
    }
}

constexpr DWORD kWaitMs = 60000;  // the longest any single step waits
