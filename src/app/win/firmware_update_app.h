#pragma once
// The program's start: prepares sockets and common controls, resolves the device identity
// and runs the main dialog modally. Nothing runs after the dialog ends.

#include "ui/win/win_api.h"

class CFirmwareUpdateApp {
  public:
    // Always FALSE: the process ends after it.
    BOOL InitInstance();
};
