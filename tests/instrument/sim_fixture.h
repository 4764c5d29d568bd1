#pragma once
// The simulated instrument behind an InstrumentLink, as the dialog holds them.

#include <memory>

#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "sim_visa.h"

class SimLinkFixture {
  protected:
    // One normal-firmware instrument with these faults.
    void Start(std::vector<SimFault> faults = {}) {
        SimScenario scenario = SimScenario::SingleInstrument();
        scenario.faults = std::move(faults);
        Start(scenario);
    }
    void Start(SimScenario scenario) {
        link.reset();  // closes its sessions on the library it came from
        sim = std::make_unique<SimVisa>(std::move(scenario));
        link = std::make_unique<InstrumentLink>(*sim, window, "0x0d3f", "0x1141");
    }
    // Search, select the first entry and connect, as the update procedure does.
    int Connect() {
        link->SearchInstruments();
        window.DeviceListSelect(0);
        return link->ConnectDevice();
    }

    RecordingWindow window;
    std::unique_ptr<SimVisa> sim;
    std::unique_ptr<InstrumentLink> link;
};
