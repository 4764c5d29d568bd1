#pragma once
// The instruments on the bus as the engine sees them: the program's own search expression
// (built-in identity), and each instrument's mode and revisions by one identification.

#include <string>
#include <vector>

class VisaLibrary;

// The built-in identity's VID and PID, normalised ("0x0d3f", "0x1141").
void BuiltInIds(std::string& vid, std::string& pid);
// Every matching resource, in the order the library reports them.
std::vector<std::string> SearchBus(VisaLibrary& visa);

enum class InstrumentState {
    kNormal,
    kWriter,
    kUnknown,   // the identification failed
    kBusy,      // another updater holds it, or its lock cannot be taken: not opened
    kNoAccess,  // this user may not open it: not opened
};
// As fwtool list shows it: "normal", "writer", "unknown", "busy", "no-access".
const char* StateName(InstrumentState state);

struct ListedInstrument {
    InstrumentState state = InstrumentState::kUnknown;
    int code = 0;  // the identification's failure, for kUnknown
    std::string revisions;
    std::string why;  // for kNoAccess: the access problem; for kBusy: the lock's, if any
};
// Why this user may not open `resource` (the node and the rule that grants it), empty when
// nothing stands in the way. Opens nothing.
std::string AccessProblem(VisaLibrary& visa, const std::string& resource);
// Connects to `resource`, identifies it and closes it again. Sends nothing but "*IDN?\n".
ListedInstrument IdentifyInstrument(VisaLibrary& visa, const std::string& resource);
// The state of `resource` as a list shows it: an instrument this user may not open, or that
// an update holds, is not opened ("*IDN?" would reach its writer); else it is identified,
// its lock held meanwhile so that no update starts.
ListedInstrument ExamineInstrument(VisaLibrary& visa, const std::string& resource);
