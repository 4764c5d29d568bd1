#pragma once
// UniqueHandle traits for the Windows resources the program owns.

#include "base/module_handle.h"
#include "base/unique_handle.h"
#include "ui/win/win_api.h"

struct FontTraits {
    using type = HFONT;
    static type invalid() noexcept { return nullptr; }
    static void close(type font) noexcept { DeleteObject(font); }
};
using UniqueFont = UniqueHandle<FontTraits>;

struct RegKeyTraits {
    using type = HKEY;
    static type invalid() noexcept { return nullptr; }
    static void close(type key) noexcept { RegCloseKey(key); }
};
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

// A window's device context, released to the window it came from.
class WindowDc {
  public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};
