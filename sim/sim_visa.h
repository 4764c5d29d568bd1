#pragma once
// The simulated instrument: what lies beyond VISA (resource manager, USB instruments with
// their normal firmware, their writer mode and their flash), behind the same eight calls
// the program uses. One model serves the in-process tests and, wrapped as visa32.dll,
// the real program under Wine.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_scenario.h"
#include "visa/visa_library.h"

// Time as the simulated instrument sees it. Tests use a virtual clock that only moves
// when the program asks to sleep (or a read times out); the DLL uses the real clock.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual uint64_t NowMs() = 0;
    // Called where the instrument itself makes the caller wait (a read that times out).
    virtual void Wait(uint32_t ms) = 0;
};

class VirtualClock : public SimClock {
public:
    uint64_t NowMs() override { return now_; }
    void Wait(uint32_t ms) override { now_ += ms; }
    void Advance(uint32_t ms) { now_ += ms; }

private:
    uint64_t now_ = 0;
};

// One VISA call as the instrument side saw it.
struct SimCall {
    std::string op;          // "viOpenDefaultRM", "viFindRsrc", "viOpen", "viWrite", ...
    std::string resource;    // the instrument it concerned, when any
    std::vector<uint8_t> bytes;  // written bytes, or the reply delivered by viRead
    ViStatus status = 0;
    uint64_t timeMs = 0;     // clock at the call
};

class SimInstrument;  // one instrument: normal firmware, writer and flash (sim_instrument.h)

class SimVisa : public VisaLibrary {
public:
    // `clock` is borrowed; nullptr gives an internal VirtualClock.
    explicit SimVisa(SimScenario scenario, SimClock* clock = nullptr);
    ~SimVisa() override;

#define SIM_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(SIM_DECLARE_METHOD)
#undef SIM_DECLARE_METHOD

    // Inspection for tests.
    const std::vector<SimCall>& calls() const;
    // Protocol violations the instruments recorded (bad frames, short pauses, ...).
    std::vector<std::string> violations() const;
    SimInstrument& instrument(size_t index);
    size_t instrumentCount() const;
    SimClock& clock();
    // Open sessions (instrument and find lists) other than the resource managers'.
    int openSessionCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
