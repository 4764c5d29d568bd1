#include "steps.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "base/module_handle.h"
#include "firmware_files.h"
#include "ui/control_ids.h"

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;  // the text of a system message box
constexpr int kFileNameBoxId = 1148;       // the file name combo box of the open-file dialog

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
        // The file name box lies somewhere inside the dialog.
        HWND nameBox = nullptr;
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM param) -> BOOL {
                if (GetDlgCtrlID(child) != kFileNameBoxId) return TRUE;
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

bool StepRunner::AnswerBox(const Args& args, std::string& error) {
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

namespace {

// Control ids as the scenarios name them: the dialog's own (control_ids.h) and the system
// dialogs' that the steps work.
#define FWU_CONTROL(id) \
    { #id, id }
const struct {
    const char* name;
    int id;
} kControlNames[] = {
    FWU_CONTROL(IDC_FILE_GROUP),  FWU_CONTROL(IDC_UPDATE_GROUP),    FWU_CONTROL(IDC_DEVICE_LABEL),
    FWU_CONTROL(IDC_FILE_PATH),   FWU_CONTROL(IDC_SECTION_COUNTER), FWU_CONTROL(IDC_UPDATE),
    FWU_CONTROL(IDC_HELP_BUTTON), FWU_CONTROL(IDC_BROWSE),          FWU_CONTROL(IDC_IMAGE_REV),
    FWU_CONTROL(IDC_MODEL_NAME),  FWU_CONTROL(IDC_DESCRIPTION),     FWU_CONTROL(IDC_MORE_INFO),
    FWU_CONTROL(IDC_PROGRESS),    FWU_CONTROL(IDC_FOOTER),          FWU_CONTROL(IDC_LOG),
    FWU_CONTROL(IDC_SEPARATOR),   FWU_CONTROL(IDC_DEVICE_LIST),
};
#undef FWU_CONTROL

}  // namespace

int ControlId(const std::string& text) {
    for (const auto& control : kControlNames)
        if (text == control.name) return control.id;
    return ToInt(text);
}

const StepRunner::Step StepRunner::kSteps[] = {
    // Steps that need no program.
    {"make-firmware", 2, false, &StepRunner::MakeFirmware},
    {"check-flash", 2, false, &StepRunner::CheckFlash},
    {"expect-string", 3, false, &StepRunner::ExpectString},
    {"start", 1, false, &StepRunner::StartApp},
    {"attach", 0, false, &StepRunner::AttachApp},
    // Steps on the running program.
    {"click", 1, true, &StepRunner::ClickPosted},
    {"click-sync", 1, true, &StepRunner::ClickSent},
    {"open-file", 1, true, &StepRunner::OpenChosenFile},
    {"cancel-file", 0, true, &StepRunner::CancelFile},
    {"box", 1, true, &StepRunner::AnswerBox},
    {"no-box", 0, true, &StepRunner::NoBox},
    {"expect-text", 2, true, &StepRunner::ExpectText},
    {"wait-text", 2, true, &StepRunner::WaitText},
    {"expect-wide-text", 2, true, &StepRunner::ExpectWideText},
    {"expect-enabled", 2, true, &StepRunner::ExpectEnabled},
    {"wait-enabled", 1, true, &StepRunner::WaitEnabled},
    {"expect-shown", 2, true, &StepRunner::ExpectShown},
    {"print-text", 1, true, &StepRunner::PrintText},
    {"print-log", 0, true, &StepRunner::PrintLog},
    {"wait-log-contains", 1, true, &StepRunner::WaitLogContains},
    {"expect-log-contains", 1, true, &StepRunner::ExpectLogContains},
    {"expect-height", 1, true, &StepRunner::ExpectHeight},
    {"redraw", 0, true, &StepRunner::Redraw},
    {"print-rect", 0, true, &StepRunner::PrintRect},
    {"expect-width-kept", 0, true, &StepRunner::ExpectWidthKept},
    {"send-close", 0, true, &StepRunner::SendClose},
    {"expect-visible", 0, true, &StepRunner::ExpectVisible},
    {"wait-exit", 0, true, &StepRunner::WaitExit},
    {"expect-windows", 2, true, &StepRunner::ExpectWindows},
    {"wait-windows", 1, true, &StepRunner::WaitWindows},
};

bool StepRunner::Run(const std::string& name, const Args& args, std::string& error) {
    for (const Step& step : kSteps) {
        if (name != step.name) continue;
        if (args.size() < step.minArgs) {
            error = name + " needs " + std::to_string(step.minArgs) + " argument(s)";
            return false;
        }
        if (step.needsApp && !NeedApp(error)) return false;
        return (this->*step.handler)(args, error);
    }
    error = "unknown step " + name;
    return false;
}

bool StepRunner::MakeFirmware(const Args& args, std::string& error) {
    return MakeFirmwareFile(args[0], args[1], args.size() > 2 ? args[2] : "", error);
}

bool StepRunner::CheckFlash(const Args& args, std::string& error) {
    std::string report;
    bool ok = FlashHoldsFirmware(args[0], args[1], args.size() > 2 ? ToInt(args[2]) : -1, report);
    std::printf("flash: %s\n", report.c_str());
    if (!ok) error = report;
    return ok;
}

// A string resource of a program file, compared as UTF-8.
bool StepRunner::ExpectString(const Args& args, std::string& error) {
    UniqueModule module(LoadLibraryExA(args[0].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const wchar_t* text = nullptr;
    int length =
        module ? LoadStringW(module.get(), ToInt(args[1]), reinterpret_cast<LPWSTR>(&text), 0) : 0;
    std::string actual = length > 0 ? Utf8FromWide(text, length) : std::string();
    std::printf("string %s: %s\n", args[1].c_str(), Escape(actual).c_str());
    if (actual != Unescape(args[2])) {
        error = "string resource differs";
        return false;
    }
    return true;
}

bool StepRunner::StartApp(const Args& args, std::string& error) {
    started_ = app_.Start(args[0], error);
    return started_;
}

bool StepRunner::AttachApp(const Args&, std::string& error) {
    started_ = app_.Attach(error);
    return started_;
}

bool StepRunner::ClickPosted(const Args& args, std::string& error) {
    return Click(ControlId(args[0]), false, error);
}

bool StepRunner::ClickSent(const Args& args, std::string& error) {
    return Click(ControlId(args[0]), true, error);
}

bool StepRunner::OpenChosenFile(const Args& args, std::string& error) {
    return OpenFile(args[0], true, error);
}

bool StepRunner::CancelFile(const Args&, std::string& error) {
    return OpenFile("", false, error);
}

bool StepRunner::NoBox(const Args&, std::string& error) {
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

bool StepRunner::ExpectText(const Args& args, std::string& error) {
    app_.Sync();
    return ControlReads(args, 0, error);
}

bool StepRunner::WaitText(const Args& args, std::string& error) {
    return ControlReads(args, kWaitMs, error);
}

bool StepRunner::ControlReads(const Args& args, DWORD waitMs, std::string& error) {
    HWND control = app_.Control(ControlId(args[0]));
    std::string expected = Unescape(args[1]), actual;
    bool ok = WaitFor(waitMs, [&] { return (actual = WindowText(control)) == expected; });
    if (!ok) error = "control " + args[0] + " reads \"" + Escape(actual) + "\"";
    return ok;
}

// A control's text read as UTF-16 and compared as UTF-8, for non-ASCII labels.
bool StepRunner::ExpectWideText(const Args& args, std::string& error) {
    wchar_t text[256] = L"";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(app_.Control(ControlId(args[0])), WM_GETTEXT, 256,
                        reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kWaitMs, &copied);
    std::string actual = Utf8FromWide(text, static_cast<int>(copied));
    if (actual != Unescape(args[1])) {
        error = "control " + args[0] + " reads \"" + Escape(actual) + "\"";
        return false;
    }
    return true;
}

bool StepRunner::ExpectEnabled(const Args& args, std::string& error) {
    return ExpectState(args, IsWindowEnabled, "enabled", "disabled", error);
}

// wait-enabled=<id>: the end of a run that reports nothing in a box.
bool StepRunner::WaitEnabled(const Args& args, std::string& error) {
    HWND control = app_.Control(ControlId(args[0]));
    if (!WaitFor(kWaitMs, [&] { return IsWindowEnabled(control) != 0; })) {
        error = "control " + args[0] + " stayed disabled";
        return false;
    }
    return true;
}

bool StepRunner::ExpectShown(const Args& args, std::string& error) {
    return ExpectState(args, IsWindowVisible, "shown", "hidden", error);
}

bool StepRunner::ExpectState(const Args& args, BOOL(WINAPI* test)(HWND), const char* yes,
                             const char* no, std::string& error) {
    if (!app_.Sync()) return false;
    const bool state = test(app_.Control(ControlId(args[0]))) != 0;
    if (state != (ToInt(args[1]) != 0)) {
        error = "control " + args[0] + " is " + (state ? yes : no);
        return false;
    }
    return true;
}

bool StepRunner::PrintText(const Args& args, std::string&) {
    std::printf("text %s: %s\n", args[0].c_str(),
                Escape(WindowText(app_.Control(ControlId(args[0])))).c_str());
    return true;
}

bool StepRunner::PrintLog(const Args&, std::string&) {
    app_.Sync();
    std::printf("%s\n", WindowText(app_.Control(IDC_LOG)).c_str());
    return true;
}

// The end of a run that shows no box: wait for its last log text.
bool StepRunner::WaitLogContains(const Args& args, std::string& error) {
    std::string expected = Unescape(args[0]), log;
    if (!WaitFor(kWaitMs, [&] {
            return (log = WindowText(app_.Control(IDC_LOG))).find(expected) != std::string::npos;
        })) {
        error = "the log never showed \"" + args[0] + "\"; it reads \"" + Escape(log) + "\"";
        return false;
    }
    return true;
}

bool StepRunner::ExpectLogContains(const Args& args, std::string& error) {
    app_.Sync();
    std::string log = WindowText(app_.Control(IDC_LOG));
    if (log.find(Unescape(args[0])) == std::string::npos) {
        error = "the log lacks \"" + args[0] + "\"; it reads \"" + Escape(log) + "\"";
        return false;
    }
    return true;
}

bool StepRunner::ExpectHeight(const Args& args, std::string& error) {
    if (!app_.Sync()) return false;
    RECT rect;
    GetWindowRect(app_.dialog(), &rect);
    std::printf("window: %ld x %ld\n", rect.right - rect.left, rect.bottom - rect.top);
    if (rect.bottom - rect.top != ToInt(args[0])) {
        error = "the window is " + std::to_string(rect.bottom - rect.top) + " px high";
        return false;
    }
    return true;
}

// Paints the whole dialog now (WM_PAINT is sent, not queued), so that a screenshot taken
// next shows it complete.
bool StepRunner::Redraw(const Args&, std::string&) {
    RedrawWindow(app_.dialog(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return app_.Sync();
}

// The dialog's place on the screen, for cropping screenshots: "rect: x y w h".
bool StepRunner::PrintRect(const Args&, std::string&) {
    if (!app_.Sync()) return false;
    RECT rect;
    GetWindowRect(app_.dialog(), &rect);
    std::printf("rect: %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return true;
}

// The width the window had when this step first ran in this run.
bool StepRunner::ExpectWidthKept(const Args&, std::string& error) {
    RECT rect;
    GetWindowRect(app_.dialog(), &rect);
    if (firstWidth_ < 0) firstWidth_ = rect.right - rect.left;
    if (rect.right - rect.left != firstWidth_) {
        error = "the width changed from " + std::to_string(firstWidth_) + " to " +
                std::to_string(rect.right - rect.left);
        return false;
    }
    return true;
}

// Sent, not posted: when it returns the program has handled it.
bool StepRunner::SendClose(const Args&, std::string&) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(app_.dialog(), WM_CLOSE, 0, 0, SMTO_NORMAL, kWaitMs, &ignored);
    return true;
}

bool StepRunner::ExpectVisible(const Args&, std::string& error) {
    if (!app_.Sync() || !IsWindowVisible(app_.dialog())) {
        error = "the dialog is gone";
        return false;
    }
    return true;
}

bool StepRunner::WaitExit(const Args&, std::string& error) {
    if (!app_.WaitExit(kWaitMs)) {
        error = "the program did not end";
        return false;
    }
    return true;
}

// Top-level windows of a class: expect-windows=<class>=<count>.
bool StepRunner::ExpectWindows(const Args& args, std::string& error) {
    if (!app_.Sync()) return false;
    size_t count = app_.WindowsOfClass(args[0].c_str()).size();
    if (count != static_cast<size_t>(ToInt(args[1]))) {
        error = std::to_string(count) + " windows of class " + args[0];
        return false;
    }
    return true;
}

// wait-windows=<class>[=<caption>]: a top-level window of that class (and caption).
bool StepRunner::WaitWindows(const Args& args, std::string& error) {
    std::string caption;
    if (!WaitFor(kWaitMs, [&] {
            for (HWND window : app_.WindowsOfClass(args[0].c_str())) {
                caption = WindowText(window);
                if (args.size() < 2 || caption == Unescape(args[1])) return true;
            }
            return false;
        })) {
        error = "no window of class " + args[0] +
                (args.size() > 1 ? " captioned \"" + args[1] + "\" (saw \"" + caption + "\")" : "");
        return false;
    }
    return true;
}
