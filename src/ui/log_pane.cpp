#include "ui/log_pane.h"

#include <cstdio>

#include "base/result_messages.h"
#include "ui/control_ids.h"
#include "ui/window_services.h"

void AppendLog(WindowServices& window, const std::string& text) {
    window.SetControlText(IDC_LOG, window.GetControlText(IDC_LOG) + text);
    window.ScrollToEnd(IDC_LOG);
}

void ClearLog(WindowServices& window) {
    window.SetControlText(IDC_LOG, "");
}

void ReportError(WindowServices& window, int code) {
    // Codes come from our own table; anything else is a programming error, but it must
    // still be logged rather than index past the table.
    if (code >= 0 && code < kErrorCount && kErrorTable[code].showBox == 1)
        window.MessageBox(kErrorTable[code].message, "Error", kMbOk | kMbIconHand);
    char line[48];
    std::snprintf(line, sizeof line, "\r\nError number: %d", code);
    AppendLog(window, line);
}
