// The process entry: the application object does everything; the program takes nothing
// from its command line or environment.

#include "app/win/firmware_update_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CFirmwareUpdateApp app;
    app.InitInstance();
    return 0;
}
