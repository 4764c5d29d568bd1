#include "ui/error_table.h"

// Indexed by code.

const ErrorEntry kErrorTable[kErrorCount] = {
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
