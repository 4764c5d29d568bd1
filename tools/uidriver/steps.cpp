#include "steps.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "firmware_files.h"

namespace {

constexpr int kLogId = 1062;
constexpr int kMessageBoxTextId = 0xFFFF;

int ToInt(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 0));
}

std::string Utf8FromWide(const wchar_t* text, int length) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsHex4(const std::string& text, size_t at) {
    if (at + 4 > text.size()) return false;
    for (size_t i = at; i < at + 4; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

}  // namespace

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] != '\\') {
            out += text[i];
        } else if (next == 'n' || next == 'r' || next == '\\') {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else if (next == 'u' && IsHex4(text, i + 2)) {
            AppendUtf8(out, static_cast<unsigned>(
                                std::strtoul(text.substr(i + 2, 4).c_str(), nullptr, 16)));
            i += 5;
        } else {
            out += '\\';  // any other backslash is kept: Windows paths are full of them
        }
    }
    return out;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool StepRunner::NeedApp(std::string& error) const {
    if (!started_) error = "no program: use start= or attach first";
    return started_;
}

bool StepRunner::Click(int id, bool wait, std::string& error) {
    HWND button = app_.Control(id);
    if (!button) {
        error = "no control " + std::to_string(id);
        return false;
    }
    if (!IsWindowEnabled(button)) {
        error = "control " + std::to_string(id) + " is disabled";
        return false;
    }
    WPARAM command = MAKEWPARAM(id, BN_CLICKED);
    if (!wait) {
        PostMessageA(app_.dialog(), WM_COMMAND, command, reinterpret_cast<LPARAM>(button));
        return true;
    }
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(app_.dialog(), WM_COMMAND, command, reinterpret_cast<LPARAM>(button),
                             SMTO_NORMAL, kWaitMs, &ignored)) {
        error = "the click was not handled in time";
        return false;
    }
    return true;
}

bool StepRunner::OpenFile(const std::string& path, bool confirm, std::string& error) {
    HWND dialog = nullptr;
    if (!WaitFor(kWaitMs, [&] { return (dialog = app_.FindFileDialog()) != nullptr; })) {
        error = "no open-file dialog";
        return false;
    }
    if (confirm) {
        // The file name box is a combo box (id 1148) somewhere inside the dialog.
        HWND nameBox = nullptr;
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM param) -> BOOL {
                if (GetDlgCtrlID(child) != 1148) return TRUE;
                *reinterpret_cast<HWND*>(param) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&nameBox));
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                            SMTO_NORMAL, kWaitMs, &ignored);
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(confirm ? IDOK : IDCANCEL, BN_CLICKED), 0);
    if (!WaitFor(kWaitMs, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) {
        error = "the open-file dialog stayed open";
        return false;
    }
    // Returns once the program has dealt with the file (or shows a box about it).
    return app_.Sync();
}

bool StepRunner::AnswerBox(const std::vector<std::string>& args, std::string& error) {
    HWND box = nullptr;
    if (!WaitFor(kWaitMs,
                 [&] {
                     box = app_.FindMessageBox();
                     return box != nullptr || !app_.Alive();
                 }) ||
        !box) {
        error = "no message box appeared";
        return false;
    }
    std::string text = WindowText(GetDlgItem(box, kMessageBoxTextId));
    std::string caption = WindowText(box);
    std::printf("box: [%s] %s\n", Escape(caption).c_str(), Escape(text).c_str());
    if (args.size() > 1 && text != Unescape(args[1])) {
        error = "box text differs: expected \"" + args[1] + "\"";
        return false;
    }
    if (args.size() > 2 && caption != Unescape(args[2])) {
        error = "box caption differs: expected \"" + args[2] + "\"";
        return false;
    }
    int answer = args[0] == "yes" ? IDYES : args[0] == "no" ? IDNO : IDOK;
    if (!GetDlgItem(box, answer)) {
        error = "the box has no " + args[0] + " button";
        return false;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    if (!WaitFor(kWaitMs, [&] { return !IsWindow(box); })) {
        error = "the box stayed open";
        return false;
    }
    return true;
}

bool StepRunner::Run(const std::string& name, const std::vector<std::string>& args,
                     std::string& error) {
    auto need = [&](size_t count) {
        if (args.size() >= count) return true;
        error = name + " needs " + std::to_string(count) + " argument(s)";
        return false;
    };

    // Steps that need no program.
    if (name == "make-firmware") {
        return need(2) && MakeFirmwareFile(args[0], args[1], args.size() > 2 ? args[2] : "", error);
    }
    if (name == "check-flash") {
        std::string report;
        bool ok = need(2) && FlashHoldsFirmware(args[0], args[1],
                                                args.size() > 2 ? ToInt(args[2]) : -1, report);
        std::printf("flash: %s\n", report.c_str());
        if (!ok && error.empty()) error = report;
        return ok;
    }
    if (name == "expect-string") {
        // A string resource of a program file, compared as UTF-8.
        if (!need(3)) return false;
        HMODULE module = LoadLibraryExA(args[0].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        const wchar_t* text = nullptr;
        int length =
            module ? LoadStringW(module, ToInt(args[1]), reinterpret_cast<LPWSTR>(&text), 0) : 0;
        std::string actual = length > 0 ? Utf8FromWide(text, length) : std::string();
        if (module) FreeLibrary(module);
        std::printf("string %s: %s\n", args[1].c_str(), Escape(actual).c_str());
        if (actual != Unescape(args[2])) {
            error = "string resource differs";
            return false;
        }
        return true;
    }
    if (name == "start") {
        started_ = need(1) && app_.Start(args[0], error);
        return started_;
    }
    if (name == "attach") {
        started_ = app_.Attach(error);
        return started_;
    }

    if (!NeedApp(error)) return false;
    if (name == "click") return need(1) && Click(ToInt(args[0]), false, error);
    if (name == "click-sync") return need(1) && Click(ToInt(args[0]), true, error);
    if (name == "open-file") return need(1) && OpenFile(args[0], true, error);
    if (name == "cancel-file") return OpenFile("", false, error);
    if (name == "box") return need(1) && AnswerBox(args, error);
    if (name == "no-box") {
        if (!app_.Sync()) {
            error = "the program does not answer";
            return false;
        }
        if (HWND box = app_.FindMessageBox()) {
            error = "unexpected box: " + Escape(WindowText(GetDlgItem(box, kMessageBoxTextId)));
            return false;
        }
        return true;
    }
    if (name == "expect-text" || name == "wait-text") {
        if (!need(2)) return false;
        if (name == "expect-text") app_.Sync();
        HWND control = app_.Control(ToInt(args[0]));
        std::string expected = Unescape(args[1]), actual;
        bool ok = WaitFor(name == "wait-text" ? kWaitMs : 0,
                          [&] { return (actual = WindowText(control)) == expected; });
        if (!ok) error = "control " + args[0] + " reads \"" + Escape(actual) + "\"";
        return ok;
    }
    if (name == "expect-wide-text") {
        // A control's text read as UTF-16 and compared as UTF-8, for non-ASCII labels.
        if (!need(2)) return false;
        wchar_t text[256] = L"";
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(app_.Control(ToInt(args[0])), WM_GETTEXT, 256,
                            reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kWaitMs, &copied);
        std::string actual = Utf8FromWide(text, static_cast<int>(copied));
        if (actual != Unescape(args[1])) {
            error = "control " + args[0] + " reads \"" + Escape(actual) + "\"";
            return false;
        }
        return true;
    }
    if (name == "expect-enabled") {
        if (!need(2) || !app_.Sync()) return false;
        bool enabled = IsWindowEnabled(app_.Control(ToInt(args[0]))) != 0;
        if (enabled != (ToInt(args[1]) != 0)) {
            error = "control " + args[0] + (enabled ? " is enabled" : " is disabled");
            return false;
        }
        return true;
    }
    if (name == "wait-enabled") {
        // wait-enabled=<id>: the end of a run that reports nothing in a box.
        if (!need(1)) return false;
        HWND control = app_.Control(ToInt(args[0]));
        if (!WaitFor(kWaitMs, [&] { return IsWindowEnabled(control) != 0; })) {
            error = "control " + args[0] + " stayed disabled";
            return false;
        }
        return true;
    }
    if (name == "expect-shown") {
        if (!need(2) || !app_.Sync()) return false;
        bool shown = IsWindowVisible(app_.Control(ToInt(args[0]))) != 0;
        if (shown != (ToInt(args[1]) != 0)) {
            error = "control " + args[0] + (shown ? " is shown" : " is hidden");
            return false;
        }
        return true;
    }
    if (name == "print-text") {
        if (!need(1)) return false;
        std::printf("text %s: %s\n", args[0].c_str(),
                    Escape(WindowText(app_.Control(ToInt(args[0])))).c_str());
        return true;
    }
    if (name == "print-log") {
        app_.Sync();
        std::printf("%s\n", WindowText(app_.Control(kLogId)).c_str());
        return true;
    }
    if (name == "wait-log-contains") {
        // The end of a run that shows no box: wait for its last log text.
        if (!need(1)) return false;
        std::string expected = Unescape(args[0]), log;
        if (!WaitFor(kWaitMs, [&] {
                return (log = WindowText(app_.Control(kLogId))).find(expected) != std::string::npos;
            })) {
            error = "the log never showed \"" + args[0] + "\"; it reads \"" + Escape(log) + "\"";
            return false;
        }
        return true;
    }
    if (name == "expect-log-contains") {
        if (!need(1)) return false;
        app_.Sync();
        std::string log = WindowText(app_.Control(kLogId));
        if (log.find(Unescape(args[0])) == std::string::npos) {
            error = "the log lacks \"" + args[0] + "\"; it reads \"" + Escape(log) + "\"";
            return false;
        }
        return true;
    }
    if (name == "expect-height") {
        if (!need(1) || !app_.Sync()) return false;
        RECT rect;
        GetWindowRect(app_.dialog(), &rect);
        std::printf("window: %ld x %ld\n", rect.right - rect.left, rect.bottom - rect.top);
        if (rect.bottom - rect.top != ToInt(args[0])) {
            error = "the window is " + std::to_string(rect.bottom - rect.top) + " px high";
            return false;
        }
        return true;
    }
    if (name == "redraw") {
        // Paints the whole dialog now (WM_PAINT is sent, not queued), so that a screenshot
        // taken next shows it complete.
        RedrawWindow(app_.dialog(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return app_.Sync();
    }
    if (name == "print-rect") {
        // The dialog's place on the screen, for cropping screenshots: "rect: x y w h".
        if (!app_.Sync()) return false;
        RECT rect;
        GetWindowRect(app_.dialog(), &rect);
        std::printf("rect: %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        return true;
    }
    if (name == "expect-width-kept") {
        // The width the window had when this step first ran in the process.
        static LONG firstWidth = -1;
        RECT rect;
        GetWindowRect(app_.dialog(), &rect);
        if (firstWidth < 0) firstWidth = rect.right - rect.left;
        if (rect.right - rect.left != firstWidth) {
            error = "the width changed from " + std::to_string(firstWidth) + " to " +
                    std::to_string(rect.right - rect.left);
            return false;
        }
        return true;
    }
    if (name == "send-close") {
        // Sent, not posted: when it returns the program has handled it.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(app_.dialog(), WM_CLOSE, 0, 0, SMTO_NORMAL, kWaitMs, &ignored);
        return true;
    }
    if (name == "expect-visible") {
        if (!app_.Sync() || !IsWindowVisible(app_.dialog())) {
            error = "the dialog is gone";
            return false;
        }
        return true;
    }
    if (name == "wait-exit") {
        if (!app_.WaitExit(kWaitMs)) {
            error = "the program did not end";
            return false;
        }
        return true;
    }
    if (name == "expect-windows") {
        // Top-level windows of a class: expect-windows=<class>=<count>.
        if (!need(2) || !app_.Sync()) return false;
        size_t count = app_.WindowsOfClass(args[0].c_str()).size();
        if (count != static_cast<size_t>(ToInt(args[1]))) {
            error = std::to_string(count) + " windows of class " + args[0];
            return false;
        }
        return true;
    }
    if (name == "wait-windows") {
        if (!need(1)) return false;
        // wait-windows=<class>[=<caption>]: a top-level window of that class (and caption).
        std::string caption;
        if (!WaitFor(kWaitMs, [&] {
                for (HWND window : app_.WindowsOfClass(args[0].c_str())) {
                    caption = WindowText(window);
                    if (args.size() < 2 || caption == Unescape(args[1])) return true;
                }
                return false;
            })) {
            error =
                "no window of class " + args[0] +
                (args.size() > 1 ? " captioned \"" + args[1] + "\" (saw \"" + caption + "\")" : "");
            return false;
        }
        return true;
    }
    error = "unknown step " + name;
    return false;
}
