#pragma once
// The steps a scenario is made of. Each command-line argument is one step, written
// name=arg=arg...; steps run in order and the first that fails ends the run.

#include <string>
#include <vector>

#include "target_app.h"

using Args = std::vector<std::string>;

class StepRunner {
  public:
    // Runs one step; false with a message in `error` when it failed.
    bool Run(const std::string& name, const Args& args, std::string& error);
    // Ends a program this run started, so that a failed scenario leaves nothing behind.
    void AbandonStarted() { app_.TerminateIfStarted(); }

  private:
    // One row per step: its name, how many arguments it needs at least, whether it works
    // on a running program, and its handler.
    struct Step {
        const char* name;
        size_t minArgs;
        bool needsApp;
        bool (StepRunner::*handler)(const Args& args, std::string& error);
    };
    static const Step kSteps[];

    bool MakeFirmware(const Args& args, std::string& error);
    bool CheckFlash(const Args& args, std::string& error);
    bool ExpectString(const Args& args, std::string& error);
    bool StartApp(const Args& args, std::string& error);
    bool AttachApp(const Args& args, std::string& error);
    bool ClickPosted(const Args& args, std::string& error);
    bool ClickSent(const Args& args, std::string& error);
    bool OpenChosenFile(const Args& args, std::string& error);
    bool CancelFile(const Args& args, std::string& error);
    bool AnswerBox(const Args& args, std::string& error);
    bool NoBox(const Args& args, std::string& error);
    bool ExpectText(const Args& args, std::string& error);
    bool WaitText(const Args& args, std::string& error);
    bool ExpectWideText(const Args& args, std::string& error);
    bool ExpectEnabled(const Args& args, std::string& error);
    bool WaitEnabled(const Args& args, std::string& error);
    bool ExpectShown(const Args& args, std::string& error);
    bool PrintText(const Args& args, std::string& error);
    bool PrintLog(const Args& args, std::string& error);
    bool WaitLogContains(const Args& args, std::string& error);
    bool ExpectLogContains(const Args& args, std::string& error);
    bool ExpectHeight(const Args& args, std::string& error);
    bool Redraw(const Args& args, std::string& error);
    bool PrintRect(const Args& args, std::string& error);
    bool ExpectWidthKept(const Args& args, std::string& error);
    bool SendClose(const Args& args, std::string& error);
    bool ExpectVisible(const Args& args, std::string& error);
    bool WaitExit(const Args& args, std::string& error);
    bool ExpectWindows(const Args& args, std::string& error);
    bool WaitWindows(const Args& args, std::string& error);

    bool NeedApp(std::string& error) const;
    bool Click(int id, bool wait, std::string& error);
    bool OpenFile(const std::string& path, bool confirm, std::string& error);
    // Whether `test` of the control named by args[0] gives args[1] (0 or 1).
    bool ExpectState(const Args& args, BOOL(WINAPI* test)(HWND), const char* yes, const char* no,
                     std::string& error);
    // The control named by args[0] reads args[1], within `waitMs`.
    bool ControlReads(const Args& args, DWORD waitMs, std::string& error);

    TargetApp app_;
    bool started_ = false;
    LONG firstWidth_ = -1;  // the dialog's width when expect-width-kept first ran
};

// A control id by its name in control_ids.h ("IDC_UPDATE") or as a number.
int ControlId(const std::string& text);
// "\n", "\r", "\\" and "\uXXXX" (as UTF-8) in a step argument.
std::string Unescape(const std::string& text);
// The text with line ends and non-ASCII bytes made visible, for reports.
std::string Escape(const std::string& text);
