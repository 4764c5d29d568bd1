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

struct InstrumentState {
    std::string mode;  // "normal", "writer", "unknown" (or, as fwtool list shows, "busy")
    int code = 0;      // the identification's failure, for "unknown"
    std::string revisions;
};
// Why this user may not open `resource` (the node and the rule that grants it), empty when
// nothing stands in the way. Opens nothing.
std::string AccessProblem(VisaLibrary& visa, const std::string& resource);
// Connects to `resource`, identifies it and closes it again. Sends nothing but "*IDN?\n".
InstrumentState IdentifyInstrument(VisaLibrary& visa, const std::string& resource);
