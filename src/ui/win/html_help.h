#pragma once
// Opens the help file through HTML Help, loaded on the first request. When the library or
// its entry point is missing, every request does nothing from then on.

#include "ui/win/win_handles.h"

class HtmlHelpLauncher {
  public:
    void Show(const wchar_t* file);

  private:
    using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    void Load();

    bool tried_ = false;
    UniqueModule library_;
    HtmlHelpWFn htmlHelp_ = nullptr;
};
