// The process entry: the application object does everything; the program takes nothing
// from its command line or environment.

#include "app/win/firmware_update_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    CFirmwareUpdateApp app;
    app.InitInstance();
    return 0;
}
