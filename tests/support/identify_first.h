#pragma once
// Works a VISA library as the program does: searches the K4417F's USB instruments,
// connects to the first one found and identifies it. For the bindings' tests (link the
// test with fw_instrument).

#include <string>
#include <vector>

#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"

// The instrument's *IDN? reply while its normal firmware runs, else what went wrong.
inline std::string IdentifyFirstInstrument(VisaLibrary& visa) {
    RecordingWindow window;
    InstrumentLink link(visa, window, "0x0d3f", "0x1141");
    std::string reply = "no instrument found";
    std::vector<std::string> found;
    if (link.SearchInstruments(found) > 0 && !found.empty()) {
        reply = "cannot connect";
        if (link.ConnectDevice(found.front()) == 0) {
            const int code = IdentifyDevice(link, *FindModel("K4417F"), reply);
            if (code != 5) reply = "identification gave " + std::to_string(code) + ": " + reply;
            link.DisconnectDevice();
        }
    }
    return reply;
}
