#pragma once
// What the operator is told for each result code (base/result_code.h): the row at a code's
// index gives the message and whether a message box shows it. Beside it, the message box
// styles and answers, with the values Windows gives them.

#include <cstdint>

#include "base/result_code.h"

enum : unsigned {
    kMbOk = 0x00000000u,
    kMbYesNo = 0x00000004u,
    kMbIconHand = 0x00000010u,  // the error icon
    kMbIconQuestion = 0x00000020u,
    kMbIconInformation = 0x00000040u,
};
enum : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdYes = 6,
    kIdNo = 7,
};

struct ErrorEntry {
    char message[64];
    int32_t showBox;
};

constexpr int kErrorCount = kResultCodeCount;

// Indexed by code.
inline constexpr ErrorEntry kErrorTable[kErrorCount] = {
    {"Update is complete.", 1},                                              // 0
    {"Update is not complete.", 1},                                          // 1
    {"Update cancel.", 0},                                                   // 2
    {"Failed to connect device.", 1},                                        // 3
    {"IO Error.", 1},                                                        // 4
    {"Device is not in the Writer Operation Mode.", 1},                      // 5
    {"", 0},                                                                 // 6
    {"", 0},                                                                 // 7
    {"Model is not capable.", 1},                                            // 8
    {"", 0},                                                                 // 9
    {"", 0},                                                                 // 10
    {"", 0},                                                                 // 11
    {"", 0},                                                                 // 12
    {"", 0},                                                                 // 13
    {"", 0},                                                                 // 14
    {"", 0},                                                                 // 15
    {"", 0},                                                                 // 16
    {"", 0},                                                                 // 17
    {"", 0},                                                                 // 18
    {"Firmware version is the latest update.", 0},                           // 19
    {"There is a newer firmware revision run on current device.", 1},        // 20
    {"Can't verify which firmware revision currently used.", 1},             // 21
    {"The firmware revision file is corrupted.", 1},                         // 22
    {"The firmware revision file is corrupted.", 1},                         // 23
    {"The firmware revision file is corrupted.", 1},                         // 24
    {"The firmware revision file is corrupted.", 1},                         // 25
    {"The firmware revision file is corrupted.", 1},                         // 26
    {"The firmware revision file is corrupted.", 1},                         // 27
    {"The firmware revision file is corrupted.", 1},                         // 28
    {"The firmware revision file is corrupted.", 1},                         // 29
    {"The firmware revision file is corrupted.", 1},                         // 30
    {"The firmware revision file is corrupted.", 1},                         // 31
    {"The firmware revision file is corrupted.", 1},                         // 32
    {"The utility is not compatible with this firmware revision file.", 1},  // 33
    {"", 0},                                                                 // 34
};

// The code's message, empty for a code outside the table.
inline const char* ResultMessage(int code) {
    return code >= 0 && code < kErrorCount ? kErrorTable[code].message : "";
}
