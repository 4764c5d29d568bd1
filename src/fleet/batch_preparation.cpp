#include "fleet/batch_preparation.h"

#include "fleet/bus.h"
#include "fleet/choice.h"
#include "instrument/resource_name.h"

namespace {

Refusal FromChoice(Choice choice) {
    switch (choice) {
        case Choice::kSerialNotFound:
            return Refusal::kSerialNotFound;
        case Choice::kNoneChosen:
            return Refusal::kNoneChosen;
        case Choice::kSerialOnSeveral:
            return Refusal::kSerialOnSeveral;
        case Choice::kChosen:
            break;
    }
    return Refusal::kNone;
}

// Every chosen instrument's lock, or none.
void LockAll(PreparedBatch& batch) {
    for (const std::string& resource : batch.chosen) {
        batch.locks.emplace_back();
        const std::string serial = SerialFromResource(resource);
        switch (batch.locks.back().Take(serial)) {
            case os::InstrumentLock::kTaken:
                break;
            case os::InstrumentLock::kBusy:
                batch.busy.push_back(serial);
                break;
            case os::InstrumentLock::kUnavailable:
                // No lock, no update: unlocked, another updater could start beside it.
                batch.unlocked.push_back(batch.locks.back().problem());
                break;
        }
    }
    if (batch.busy.empty() && batch.unlocked.empty()) return;
    batch.locks.clear();
    batch.refusal = Refusal::kBusy;
}

}  // namespace

PreparedBatch PrepareBatch(VisaLibrary& visa, const BatchRequest& request) {
    PreparedBatch batch;
    const std::vector<std::string> found = SearchBus(visa);
    if (request.stop && *request.stop) {
        batch.refusal = Refusal::kStopped;
        return batch;
    }
    if (found.empty()) {
        batch.refusal = Refusal::kNoInstrument;
        return batch;
    }
    batch.refusal = FromChoice(
        ChooseInstruments(found, request.serials, request.all, batch.chosen, batch.problem));
    if (batch.refusal != Refusal::kNone) return batch;
    for (const std::string& resource : batch.chosen)
        if (std::string problem = AccessProblem(visa, resource); !problem.empty()) {
            batch.refusal = Refusal::kNoAccess;
            batch.problem = std::move(problem);
            return batch;
        }
    if (request.cannotAsk) {
        batch.refusal = Refusal::kCannotAsk;
        return batch;
    }
    LockAll(batch);
    return batch;
}
