#pragma once
// The result of every fallible step: 0 is success, every other code names one failure.
// The error table (base/result_messages.h) holds one row per code, at the code's index.

enum ResultCode : int {
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
    kErrModelNotCapable = 8,  // not raised
    kErrReserved9 = 9,        // not raised
    kErrReserved10 = 10,      // not raised
    kErrEndLoadReply = 11,
    kErrSelectReply = 12,
    kErrChecksumLengthReply = 13,
    kErrChecksumEmpty = 14,
    kErrFlashCheckReply = 15,
    kErrReserved16 = 16,  // not raised
    kErrEraseNg = 17,
    kErrProgramNg = 18,
    kErrLatestUpdate = 19,
    kErrNewerRevisionRunning = 20,  // not raised
    kErrNoRevision = 21,
    kErrInstrumentNewerThanFile = 22,  // a section of the file is older than the instrument's
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
    kErrWriterModelMismatch = 34,  // not raised: no writer-mode model check is made
};

constexpr int kResultCodeCount = 35;
