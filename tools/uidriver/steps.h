#pragma once
// The steps a scenario is made of. Each command-line argument is one step, written
// name=arg=arg...; steps run in order and the first that fails ends the run.

#include <string>
#include <vector>

#include "target_app.h"

class StepRunner {
  public:
    // Runs one step; false with a message in `error` when it failed.
    bool Run(const std::string& name, const std::vector<std::string>& args, std::string& error);
    // Ends a program this run started, so that a failed scenario leaves nothing behind.
    void AbandonStarted() { app_.TerminateIfStarted(); }

  private:
    bool NeedApp(std::string& error) const;
    bool Click(int id, bool wait, std::string& error);
    bool OpenFile(const std::string& path, bool confirm, std::string& error);
    bool AnswerBox(const std::vector<std::string>& args, std::string& error);

    TargetApp app_;
    bool started_ = false;
};

// "\n", "\r", "\\" and "\uXXXX" (as UTF-8) in a step argument.
std::string Unescape(const std::string& text);
// The text with line ends and non-ASCII bytes made visible, for reports.
std::string Escape(const std::string& text);
