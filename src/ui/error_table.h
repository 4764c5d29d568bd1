#pragma once
// The fixed table of result codes: 0 is success, every other code names a failure,
// and its row says whether the operator also gets a message box.

#include <cstdint>

struct ErrorEntry {
    int32_t code;
    char message[64];
    int32_t showBox;
};

constexpr int kErrorCount = 35;
extern const ErrorEntry kErrorTable[kErrorCount];

// Codes that the logic raises by name.
enum ErrorCode : int {
    kOk = 0,
    // "Update is not complete.": a checksum mismatch in the section transfer, or a run
    // stopped on request between sections. The row shows a box: the log pane is hidden by
    // default, so a failure that only logged would look like nothing happened.
    kErrNotComplete = 1,
    kErrCancelled = 2,
    kErrConnect = 3,
    kErrIo = 4,
    kErrNotWriterMode = 5,
    kErrResetReply = 6,
    kErrNoIdentityField = 7,
    kErrEndLoadReply = 11,
    kErrSelectReply = 12,
    kErrChecksumLengthReply = 13,
    kErrChecksumEmpty = 14,
    kErrFlashCheckReply = 15,
    kErrEraseNg = 17,
    kErrProgramNg = 18,
    kErrLatestUpdate = 19,
    kErrNoRevision = 21,
    kErrOlderRevision = 22,
    kErrFileTruncated = 23,
    kErrNoImageRev = 24,
    kErrNoUtilityRev = 25,
    kErrTooFewSections = 26,
    kErrSectionFlag = 27,
    kErrSectionId = 28,
    kErrSectionTooLarge = 29,
    kErrTooManySections = 30,
    kErrUnknownModel = 31,
    kErrHeaderTooLong = 32,
    kErrUtilityTooOld = 33,
};
