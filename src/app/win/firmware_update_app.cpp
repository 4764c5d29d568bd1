#include "app/win/firmware_update_app.h"

#include <commctrl.h>
#include <winsock2.h>

#include "app/device_identity.h"
#include "app/win/startup_window.h"
#include "base/scope_exit.h"
#include "ui/control_ids.h"
#include "ui/win/firmware_update_dlg.h"
#include "visa/win/dynamic_visa_library.h"

namespace {

// The caption of the program's own start-up boxes: the program's name.
constexpr wchar_t kProgramName[] = L"FirmwareUpdate";

// String resource `id` in a message box without owner. The text is Chinese, so it goes
// through the wide functions: the narrow ones would turn it into question marks on a
// system whose code page has no such characters.
void ShowStringResource(UINT id) {
    wchar_t text[256] = L"";
    LoadStringW(GetModuleHandleW(nullptr), id, text, sizeof text / sizeof text[0]);
    MessageBoxW(nullptr, text, kProgramName, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

BOOL CFirmwareUpdateApp::InitInstance() {
    WSADATA sockets;
    if (WSAStartup(MAKEWORD(1, 1), &sockets) != 0) {
        ShowStringResource(IDS_SOCKETS_INIT_FAILED);
        return FALSE;
    }
    auto socketsCleanup = MakeScopeExit([] { WSACleanup(); });

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    DeviceIdentity identity;
    StartupWindow startupWindow;
    if (!ResolveIdentity(identity, startupWindow)) return FALSE;

    DynamicVisaLibrary visa;
    CFirmwareUpdateDlg dialog(visa, identity.vid, identity.pid);
    dialog.DoModal();
    return FALSE;
}
