#pragma once
// fwtool's exit statuses, all in one table. A result code of the update utility (1 to 34,
// see base/result_code.h) is passed through as the exit status unchanged; the statuses from
// 117 up are the command line's own.

#include "base/result_code.h"

constexpr int kExitOk = 0;
constexpr int kExitCancelled =
    kErrCancelled;                        // the operator declined (2, as the utility reports it)
constexpr int kExitNoAccess = 117;        // an instrument's node may not be opened by this user
constexpr int kExitReportLost = 118;      // every update completed, a report line was lost
constexpr int kExitInstrumentBusy = 119;  // a chosen instrument is held, or cannot be locked
constexpr int kExitNoInstrument = 120;    // no instrument found on the bus
constexpr int kExitSerialNotFound = 121;  // a requested serial number is not on the bus
constexpr int kExitNoneChosen = 122;      // several instruments found and none chosen
constexpr int kExitNoVisaLibrary = 123;   // no VISA library could be loaded
constexpr int kExitUsage = 125;           // usage error, or a file that cannot be opened or written
constexpr int kExitInterrupted = 130;     // Ctrl+C (SIGTERM and SIGHUP: 128 + the signal)

// The table as `fwtool --help` shows it.
constexpr char kExitStatusHelp[] =
    "exit status:\n"
    "  0        success\n"
    "  1-34     the update utility's error number (2: cancelled by the operator)\n"
    "  117      an instrument's device node may not be opened (see the udev rule)\n"
    "  118      every update completed, but a report line could not be written\n"
    "  119      an instrument is being updated by another fwtool, or its lock cannot be\n"
    "           taken\n"
    "  120      no instrument found\n"
    "  121      a requested serial number is not on the bus\n"
    "  122      several instruments found and none chosen\n"
    "  123      no VISA library could be loaded\n"
    "  125      usage error, or a file that cannot be opened or written\n"
    "  129      stopped by SIGHUP (the section being written is finished first)\n"
    "  130      interrupted (Ctrl+C)\n"
    "  143      stopped by SIGTERM\n";

// A result code of the utility (0 to 34) as the exit status.
constexpr int ExitStatusFromResult(int resultCode) {
    return resultCode >= 0 && resultCode < kResultCodeCount ? resultCode : kExitUsage;
}
