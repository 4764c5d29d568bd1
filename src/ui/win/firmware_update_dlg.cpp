#include "ui/win/firmware_update_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <vector>

#include "base/scope_exit.h"
#include "firmware/model_catalogue.h"
#include "ui/control_ids.h"
#include "ui/win/sleep_at_least.h"
#include "ui/win/timer_resolution.h"

namespace {

constexpr char kProductName[] = "K4417F Firmware Update Utility";
constexpr char kFooterNotice[] = "Keep the instrument on while updating.";
constexpr char kHelpFile[] = "UpdateUtilityHelp.chm";

// Whether the log pane is shown; it outlives the dialog, for the life of the process.
bool g_moreInfoShown = false;

}  // namespace

CFirmwareUpdateDlg::CFirmwareUpdateDlg(VisaLibrary& visa, const std::string& vid,
                                       const std::string& pid)
    : icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      updater_(std::in_place, visa, *this, vid, pid) {}

INT_PTR CFirmwareUpdateDlg::DoModal() {
    // A Unicode dialog, so that the labels keep the template's full-width colons: an ANSI
    // dialog may have its controls created from text converted to the ANSI code page.
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FIRMWAREUPDATE_DIALOG),
                           nullptr, StaticDlgProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CFirmwareUpdateDlg::StaticDlgProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CFirmwareUpdateDlg*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
        dialog->window_ = window;
    }
    auto* dialog = reinterpret_cast<CFirmwareUpdateDlg*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    // Messages before WM_INITDIALOG (WM_SETFONT and the like) get the default handling.
    return dialog ? dialog->DlgProc(message, wParam, lParam) : FALSE;
}

INT_PTR CFirmwareUpdateDlg::DlgProc(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_PAINT:
            return OnPaint();
        case WM_COMMAND:
            return HIWORD(wParam) == BN_CLICKED && OnCommand(LOWORD(wParam));
        case WM_SHOWWINDOW:
            OnShowWindow();
            return FALSE;
        case WM_CLOSE:
            return OnClose();
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;  // WM_QUERYDRAGICON included: the default handling
    }
}

LRESULT CFirmwareUpdateDlg::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageA(window_, id, message, wParam, lParam);
}

BOOL CFirmwareUpdateDlg::OnInitDialog() {
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    char caption[96];
    std::snprintf(caption, sizeof caption, "%s Version %s", kProductName, UTILITY_VERSION);
    SetWindowTextA(window_, caption);
    char footer[96];
    std::snprintf(footer, sizeof footer, "%s", kFooterNotice);
    SetDlgItemTextA(window_, IDC_FOOTER, footer);

    browseFont_ = MakeBoldFont(IDC_BROWSE);
    logFont_ = MakeBoldFont(IDC_LOG);

    EnableWindow(GetDlgItem(window_, IDC_UPDATE), FALSE);
    ShowMoreInfo(false);
    updater_->Initialise();
    return TRUE;  // the system sets the initial focus
}

UniqueFont CFirmwareUpdateDlg::MakeBoldFont(int id) {
    auto current = reinterpret_cast<HFONT>(SendItem(id, WM_GETFONT));
    LOGFONTA logFont{};
    if (!current || GetObjectA(current, sizeof logFont, &logFont) != sizeof logFont)
        return UniqueFont();
    logFont.lfWeight = FW_BOLD;
    UniqueFont bold(CreateFontIndirectA(&logFont));
    if (bold) SendItem(id, WM_SETFONT, reinterpret_cast<WPARAM>(bold.get()), TRUE);
    return bold;
}

bool CFirmwareUpdateDlg::OnPaint() {
    if (!IsIconic(window_)) return false;  // default painting
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(window_, &client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(window_, &paint);
    return true;
}

void CFirmwareUpdateDlg::OnShowWindow() {
    SetFocus(GetDlgItem(window_, IDC_FILE_PATH));
}

bool CFirmwareUpdateDlg::OnCommand(int id) {
    switch (id) {
        case IDC_UPDATE: {
            // Windows pauses end on timer ticks 15.6 ms apart unless asked otherwise: with a
            // 1 ms timer for this update only, the writer's pauses last what they should.
            ScopedTimerResolution finerPauses;
            updater_->RunUpdate();
            return true;
        }
        case IDC_BROWSE:
            updater_->LoadFirmwareFile();
            return true;
        case IDC_HELP_BUTTON:
            help_.Show(kHelpFile);
            return true;
        case IDC_MORE_INFO:
            OnMoreInfo();
            return true;
        case IDOK:
        case IDCANCEL:
            // Enter and Esc end the dialog, but never while sections are being written:
            // the update would go on with its window gone.
            if (!updater_ || updater_->CanClose()) EndDialog(window_, id);
            return true;
        default:
            return false;
    }
}

bool CFirmwareUpdateDlg::OnClose() {
    // Handled (ignored) while the transfer runs; otherwise the default handling turns the
    // close command into IDCANCEL, which ends the dialog.
    return updater_ && !updater_->CanClose();
}

void CFirmwareUpdateDlg::OnDestroy() {
    updater_.reset();  // closes the resource manager, then frees the sections
    browseFont_.reset();
    logFont_.reset();
}

void CFirmwareUpdateDlg::OnMoreInfo() {
    g_moreInfoShown = !g_moreInfoShown;
    ShowMoreInfo(g_moreInfoShown);
}

void CFirmwareUpdateDlg::ShowMoreInfo(bool shown) {
    int scale = 1;
    {
        WindowDc dc(window_);
        if (dc.get()) scale = GetDeviceCaps(dc.get(), LOGPIXELSY) / 96;
    }
    // Below 96 dpi the integer scale would be 0 and shrink the window to nothing.
    if (scale < 1) scale = 1;
    RECT rect;
    GetWindowRect(window_, &rect);
    // The width stays as it is: scaling it at every toggle would grow it without bound.
    int width = rect.right - rect.left;
    int height = (shown ? 600 : 450) * scale;
    SetDlgItemTextA(window_, IDC_MORE_INFO, shown ? "More Info <<" : "More Info >>");
    SetWindowPos(window_, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOZORDER);
    ShowWindow(GetDlgItem(window_, IDC_LOG), shown ? SW_SHOW : SW_HIDE);
}

void CFirmwareUpdateDlg::SetControlText(int id, const std::string& text) {
    SetDlgItemTextA(window_, id, text.c_str());
}

std::string CFirmwareUpdateDlg::GetControlText(int id) {
    HWND control = GetDlgItem(window_, id);
    int length = GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextA(control, text.data(), length + 1);
    return std::string(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void CFirmwareUpdateDlg::EnableControl(int id, bool enabled) {
    EnableWindow(GetDlgItem(window_, id), enabled ? TRUE : FALSE);
}

void CFirmwareUpdateDlg::ScrollToEnd(int id) {
    HWND control = GetDlgItem(window_, id);
    UpdateWindow(control);
    // Scrolled by the vertical scroll limit: the range's maximum less what one page
    // already shows.
    int minimum = 0, maximum = 0;
    GetScrollRange(control, SB_VERT, &minimum, &maximum);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_PAGE;
    if (GetScrollInfo(control, SB_VERT, &info) && info.nPage > 1)
        maximum -= static_cast<int>(info.nPage) - 1;
    SendMessageA(control, EM_LINESCROLL, 0, maximum);
}

void CFirmwareUpdateDlg::DeviceListReset() {
    SendItem(IDC_DEVICE_LIST, CB_RESETCONTENT);
}

void CFirmwareUpdateDlg::DeviceListAdd(const std::string& name) {
    SendItem(IDC_DEVICE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

int CFirmwareUpdateDlg::DeviceListFind(const std::string& prefix) {
    return static_cast<int>(SendItem(IDC_DEVICE_LIST, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(prefix.c_str())));
}

void CFirmwareUpdateDlg::DeviceListSelect(int index) {
    SendItem(IDC_DEVICE_LIST, CB_SETCURSEL, static_cast<WPARAM>(index));
}

std::string CFirmwareUpdateDlg::DeviceListText(int limit) {
    if (limit <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(limit), '\0');
    int copied = GetWindowTextA(GetDlgItem(window_, IDC_DEVICE_LIST), text.data(), limit);
    return std::string(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void CFirmwareUpdateDlg::ProgressSetRange(uint16_t low, uint16_t high) {
    SendItem(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void CFirmwareUpdateDlg::ProgressSetPos(int pos) {
    SendItem(IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(pos));
}

void CFirmwareUpdateDlg::ProgressSetStep(int step) {
    SendItem(IDC_PROGRESS, PBM_SETSTEP, static_cast<WPARAM>(step));
}

void CFirmwareUpdateDlg::ProgressStepIt() {
    SendItem(IDC_PROGRESS, PBM_STEPIT);
}

int CFirmwareUpdateDlg::MessageBox(const std::string& text, const std::string& caption,
                                   unsigned style, bool owned) {
    return MessageBoxA(owned ? window_ : nullptr, text.c_str(), caption.c_str(), style);
}

bool CFirmwareUpdateDlg::OpenFileDialog(std::string& path) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameA(&dialog)) return false;
    path = file;
    return true;
}

void CFirmwareUpdateDlg::PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void CFirmwareUpdateDlg::Sleep(uint32_t ms) {
    SleepAtLeast(ms);
}
