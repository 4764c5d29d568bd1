#include "app/win/startup_window.h"

#include "ui/win/ansi_text.h"
#include "ui/win/win_api.h"

int StartupWindow::MessageBox(const std::string& text, const std::string& caption, unsigned style,
                              bool) {
    return MessageBoxW(nullptr, WideFromAnsi(text).c_str(), WideFromAnsi(caption).c_str(), style);
}

void StartupWindow::Sleep(uint32_t ms) {
    ::Sleep(ms);
}
