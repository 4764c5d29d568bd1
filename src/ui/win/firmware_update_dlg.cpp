#include "ui/win/firmware_update_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "base/scope_exit.h"
#include "firmware/model_catalogue.h"
#include "os/os.h"
#include "ui/control_ids.h"
#include "ui/win/ansi_text.h"

namespace {

constexpr char kProductName[] = "K4417F Firmware Update Utility";
constexpr wchar_t kFooterNotice[] = L"Keep the instrument on while updating.";
constexpr wchar_t kHelpFile[] = L"UpdateUtilityHelp.chm";

// Whether the log pane is shown; it outlives the dialog, for the life of the process.
bool g_moreInfoShown = false;

}  // namespace

CFirmwareUpdateDlg::CFirmwareUpdateDlg(VisaLibrary& visa, const std::string& vid,
                                       const std::string& pid)
    : icon_(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      updater_(std::in_place, visa, *this, vid, pid) {}

INT_PTR CFirmwareUpdateDlg::DoModal() {
    // A Unicode dialog, so that the labels keep the template's full-width colons: an ANSI
    // dialog may have its controls created from text converted to the ANSI code page. The
    // whole dialog layer works in UTF-16 for the same reason.
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FIRMWAREUPDATE_DIALOG),
                           nullptr, StaticDlgProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CFirmwareUpdateDlg::StaticDlgProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CFirmwareUpdateDlg*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        dialog->window_ = window;
    }
    auto* dialog = reinterpret_cast<CFirmwareUpdateDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA));
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
    return SendDlgItemMessageW(window_, id, message, wParam, lParam);
}

BOOL CFirmwareUpdateDlg::OnInitDialog() {
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    char caption[96];
    std::snprintf(caption, sizeof caption, "%s Version %s", kProductName, UTILITY_VERSION);
    SetWindowTextW(window_, WideFromAnsi(caption).c_str());
    SetDlgItemTextW(window_, IDC_FOOTER, kFooterNotice);

    browseFont_ = MakeBoldFont(IDC_BROWSE);
    logFont_ = MakeBoldFont(IDC_LOG);

    EnableWindow(GetDlgItem(window_, IDC_UPDATE), FALSE);
    ShowMoreInfo(false);
    updater_->Initialise();
    return TRUE;  // the system sets the initial focus
}

UniqueFont CFirmwareUpdateDlg::MakeBoldFont(int id) {
    auto current = reinterpret_cast<HFONT>(SendItem(id, WM_GETFONT));
    LOGFONTW logFont{};
    if (!current || GetObjectW(current, sizeof logFont, &logFont) != sizeof logFont)
        return UniqueFont();
    logFont.lfWeight = FW_BOLD;
    UniqueFont bold(CreateFontIndirectW(&logFont));
    if (bold) SendItem(id, WM_SETFONT, reinterpret_cast<WPARAM>(bold.get()), TRUE);
    return bold;
}

bool CFirmwareUpdateDlg::OnPaint() {
    if (!IsIconic(window_)) return false;  // default painting
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
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
            os::TimerResolutionHold finerPauses;
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
    SetDlgItemTextW(window_, IDC_MORE_INFO, shown ? L"More Info <<" : L"More Info >>");
    SetWindowPos(window_, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOZORDER);
    ShowWindow(GetDlgItem(window_, IDC_LOG), shown ? SW_SHOW : SW_HIDE);
}

void CFirmwareUpdateDlg::SetControlText(int id, const std::string& text) {
    SetDlgItemTextW(window_, id, WideFromAnsi(text).c_str());
}

std::string CFirmwareUpdateDlg::GetControlText(int id) {
    HWND control = GetDlgItem(window_, id);
    int length = GetWindowTextLengthW(control);
    if (length <= 0) return std::string();
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(control, text.data(), length + 1);
    return AnsiFromWide(text.data(), copied);
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
    SendMessageW(control, EM_LINESCROLL, 0, maximum);
}

void CFirmwareUpdateDlg::DeviceListReset() {
    SendItem(IDC_DEVICE_LIST, CB_RESETCONTENT);
}

void CFirmwareUpdateDlg::DeviceListAdd(const std::string& name) {
    const std::wstring wide = WideFromAnsi(name);
    SendItem(IDC_DEVICE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

int CFirmwareUpdateDlg::DeviceListFind(const std::string& prefix) {
    const std::wstring wide = WideFromAnsi(prefix);
    return static_cast<int>(SendItem(IDC_DEVICE_LIST, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(wide.c_str())));
}

void CFirmwareUpdateDlg::DeviceListSelect(int index) {
    SendItem(IDC_DEVICE_LIST, CB_SETCURSEL, static_cast<WPARAM>(index));
}

std::string CFirmwareUpdateDlg::DeviceListText(int limit) {
    if (limit <= 0) return std::string();
    std::vector<wchar_t> text(static_cast<size_t>(limit), L'\0');
    int copied = GetWindowTextW(GetDlgItem(window_, IDC_DEVICE_LIST), text.data(), limit);
    std::string narrow = AnsiFromWide(text.data(), copied);
    // The limit counts bytes of the narrow text, the terminating zero included.
    if (narrow.size() > static_cast<size_t>(limit - 1))
        narrow.resize(static_cast<size_t>(limit - 1));
    return narrow;
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
    return MessageBoxW(owned ? window_ : nullptr, WideFromAnsi(text).c_str(),
                       WideFromAnsi(caption).c_str(), style);
}

bool CFirmwareUpdateDlg::OpenFileDialog(std::string& path) {
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog)) return false;
    path = AnsiFromWide(file, static_cast<int>(std::wcslen(file)));
    return true;
}

void CFirmwareUpdateDlg::PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void CFirmwareUpdateDlg::Sleep(uint32_t ms) {
    os::SleepAtLeastMs(ms);
}

uint64_t CFirmwareUpdateDlg::NowMs() {
    return os::MonotonicMs();
}
