#pragma once
// The running log in the dialog's log pane, and failure reporting through the error table.

#include <string>

class WindowServices;

// Appends `text` to the log pane and keeps its end in view.
void AppendLog(WindowServices& window, const std::string& text);
// Empties the log pane.
void ClearLog(WindowServices& window);
// Shows the code's message box when its row asks for one, then logs "\r\nError number: N".
void ReportError(WindowServices& window, int code);
