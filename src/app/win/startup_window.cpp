#include "app/win/startup_window.h"

#include "ui/win/win_api.h"

int StartupWindow::MessageBox(const std::string& text, const std::string& caption, unsigned style,
                              bool) {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

void StartupWindow::Sleep(uint32_t ms) {
    ::Sleep(ms);
}
