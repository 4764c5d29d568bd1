#pragma once
// What the operator is told for each result code: the row at a code's index gives the
// message and whether a message box shows it.

#include <cstdint>

#include "base/result_code.h"

struct ErrorEntry {
    char message[64];
    int32_t showBox;
};

constexpr int kErrorCount = kResultCodeCount;
extern const ErrorEntry kErrorTable[kErrorCount];
