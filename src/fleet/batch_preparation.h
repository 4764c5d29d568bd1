#pragma once
// Everything that is settled before a batch's first run starts, for every front end: the
// search, the choice of instruments, the access check and the instruments' locks. One call
// gives either the prepared batch (its locks held) or a typed refusal with what it names;
// the front end only says it.

#include <atomic>
#include <string>
#include <vector>

#include "os/instrument_lock.h"

class VisaLibrary;

enum class Refusal {
    kNone,             // prepared: `chosen` holds the instruments, `locks` their locks
    kStopped,          // a stop came during the search
    kNoInstrument,     // the search found nothing
    kSerialNotFound,   // `problem`: the serials asked for that are not on the bus
    kNoneChosen,       // `problem`: the serials found, when several are and none was chosen
    kSerialOnSeveral,  // `problem`: the resources that carry one serial
    kNoAccess,         // `problem`: why this user may not open a chosen instrument
    kCannotAsk,        // the question is needed and cannot be asked
    kBusy,             // `busy`: the serials that another updater holds; `unlocked`: the
                       // locks that cannot be made or taken, each with its path and why
};

struct BatchRequest {
    std::vector<std::string> serials;  // letter case ignored
    bool all = false;
    // A question will be asked and nothing can answer it (no terminal).
    bool cannotAsk = false;
    const std::atomic<bool>* stop = nullptr;
};

struct PreparedBatch {
    Refusal refusal = Refusal::kNone;
    std::string problem;
    std::vector<std::string> busy;
    std::vector<std::string> unlocked;
    std::vector<std::string> chosen;  // resources, in the order asked or found
    // Held until the batch is destroyed, on the thread that prepared it (a Windows mutex
    // belongs to its thread); every chosen instrument's, or none.
    std::vector<os::InstrumentLock> locks;
};

PreparedBatch PrepareBatch(VisaLibrary& visa, const BatchRequest& request);
