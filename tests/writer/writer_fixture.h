#pragma once
// The writer's tests talk to the simulated instrument in writer mode, connected, with timing
// checks on; the recording window's pauses move the instrument's clock. Everything the
// program does lands in one trace, in order: "frame 0A" (a 12-byte frame, by its command
// byte), "write 6" (any other write, by its size), "write failed", "read", "read failed",
// "sleep 10", "pump".

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "sim_visa.h"

using Trace = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

// A writer-level fault in the first section.
inline SimFault StepFault(const char* step, std::string text, const char* action = "") {
    return SimFault::AtStep(1, step, std::move(text), action);
}

inline Trace Repeat(const Trace& part, int times) {
    Trace out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Trace Join(std::initializer_list<Trace> parts) {
    Trace out;
    for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class WriterTest : public ::testing::Test {
  protected:
    // Call faults count from the first write or read after connecting.
    void Start(std::vector<SimFault> faults = {}, int progressLines = -1) {
        SimScenario scenario = SimScenario::SingleInstrument("writer");
        scenario.timingChecks = true;
        scenario.progressLines = progressLines;
        scenario.faults = std::move(faults);
        clock = VirtualClock();
        link.reset();  // closes its sessions on the library it came from
        sim = std::make_unique<SimVisa>(scenario, &clock);
        window = RecordingWindow();
        window.onSleep = [this](uint32_t ms) {
            Flush();
            trace.push_back("sleep " + std::to_string(ms));
            clock.Advance(ms);
        };
        window.onPump = [this] {
            Flush();
            trace.push_back("pump");
        };
        link = std::make_unique<InstrumentLink>(*sim, window, "0x0d3f", "0x1141");
        ASSERT_EQ(link->SearchInstruments(), 1);
        window.DeviceListSelect(0);
        ASSERT_EQ(link->ConnectDevice(), kOk);
        ASSERT_TRUE(sim->callsOf("viWrite").empty() && sim->callsOf("viRead").empty());
        first = seen = sim->calls().size();
        trace.clear();
    }

    Trace Calls() {
        Flush();
        return trace;
    }

    // Every write since connecting, as sent (long ones only by their head).
    std::vector<Bytes> Writes() const {
        std::vector<Bytes> out;
        for (size_t i = first; i < sim->calls().size(); ++i)
            if (sim->calls()[i].op == "viWrite") out.push_back(sim->calls()[i].bytes);
        return out;
    }

    bool FlashHolds(uint32_t at, const uint8_t* bytes, size_t count) {
        return sim->instrument(0).flash().Holds(at, bytes, count);
    }

    VirtualClock clock;
    std::unique_ptr<SimVisa> sim;
    RecordingWindow window;
    std::unique_ptr<InstrumentLink> link;
    Trace trace;

  private:
    void Flush() {
        for (; seen < sim->calls().size(); ++seen) {
            const SimCall& c = sim->calls()[seen];
            if (c.op == "viRead") {
                trace.push_back(c.status == VI_SUCCESS ? "read" : "read failed");
            } else if (c.status != VI_SUCCESS) {
                trace.push_back("write failed");
            } else if (c.byteCount == 12 && c.bytes[0] == 0xAB) {
                char entry[16];
                std::snprintf(entry, sizeof entry, "frame %02X", c.bytes[5]);
                trace.push_back(entry);
            } else {
                trace.push_back("write " + std::to_string(c.byteCount));
            }
        }
    }

    size_t first = 0, seen = 0;
};
