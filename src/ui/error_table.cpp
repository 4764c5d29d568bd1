#include "ui/error_table.h"


#define ROW(code, text, box) {code, text, box}

const ErrorEntry kErrorTable[kErrorCount] = {
    ROW(0, "Update is complete.", 1),
    ROW(1, "Update is not complete.", 1),
    ROW(2, "Update cancel.", 0),
    ROW(3, "Failed to connect device.", 1),
    ROW(4, "IO Error.", 1),
    ROW(5, "Device is not in the Writer Operation Mode.", 1),
    ROW(6, "", 0),
    ROW(7, "", 0),
    ROW(8, "Model is not capable.", 1),
    ROW(9, "", 0),
    ROW(10, "", 0),
    ROW(11, "", 0),
    ROW(12, "", 0),
    ROW(13, "", 0),
    ROW(14, "", 0),
    ROW(15, "", 0),
    ROW(16, "", 0),
    ROW(17, "", 0),
    ROW(18, "", 0),
    ROW(19, "Firmware version is the latest update.", 0),
    ROW(20, "There is a newer firmware revision run on current device.", 1),
    ROW(21, "Can't verify which firmware revision currently used.", 1),
    ROW(22, "The firmware revision file is corrupted.", 1),
    ROW(23, "The firmware revision file is corrupted.", 1),
    ROW(24, "The firmware revision file is corrupted.", 1),
    ROW(25, "The firmware revision file is corrupted.", 1),
    ROW(26, "The firmware revision file is corrupted.", 1),
    ROW(27, "The firmware revision file is corrupted.", 1),
    ROW(28, "The firmware revision file is corrupted.", 1),
    ROW(29, "The firmware revision file is corrupted.", 1),
    ROW(30, "The firmware revision file is corrupted.", 1),
    ROW(31, "The firmware revision file is corrupted.", 1),
    ROW(32, "The firmware revision file is corrupted.", 1),
    ROW(33, "The utility is not compatible with this firmware revision file.", 1),
    ROW(34, "", 0),
};

#undef ROW
