#pragma once
// The simulated instrument: what lies beyond VISA (resource manager, USB instruments with
// their normal firmware, their writer mode and their flash), behind the same eight calls
// the program uses. One model serves the in-process tests and, wrapped as visa32.dll,
// the real program under Wine.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim_instrument.h"
#include "sim_scenario.h"
#include "visa/visa_library.h"

// Time as the simulated instrument sees it. Tests use a virtual clock that only moves
// when the program asks to sleep (or a read times out); the DLL uses the real clock.
// Called from any thread that makes VISA calls.
class SimClock {
  public:
    virtual ~SimClock() = default;
    virtual uint64_t NowMs() = 0;
    // Called where the instrument itself makes the caller wait (a read that times out).
    virtual void Wait(uint32_t ms) = 0;
};

// Each thread keeps a time of its own, starting at 0: with one thread per instrument, one
// instrument's pauses do not count for another's. A thread that ends leaves its time
// behind; a later thread given the same id by the system carries on from it.
class VirtualClock : public SimClock {
  public:
    VirtualClock() = default;
    VirtualClock(const VirtualClock& other);
    VirtualClock& operator=(const VirtualClock& other);

    // The calling thread's time.
    uint64_t NowMs() override;
    void Wait(uint32_t ms) override { Advance(ms); }
    // Moves the calling thread's time on.
    void Advance(uint32_t ms);

  private:
    mutable std::mutex mutex_;
    std::map<std::thread::id, uint64_t> now_;
};

// The real clock, for the DLL: waits really wait, shortened by `timeoutScale`.
class SteadyClock : public SimClock {
  public:
    explicit SteadyClock(double timeoutScale = 1.0);
    uint64_t NowMs() override;
    void Wait(uint32_t ms) override;

  private:
    double scale_;
    uint64_t startMs_;
};

// Recorded bytes are kept whole up to this size; of longer ones (section data) only the
// first kSimRecordedHead bytes are kept, so a big update does not keep a copy of itself.
constexpr size_t kSimRecordedWhole = 320;
constexpr size_t kSimRecordedHead = 16;

// One VISA call as the instrument side saw it.
struct SimCall {
    std::string op;              // "viOpenDefaultRM", "viFindRsrc", "viOpen", "viWrite", ...
    std::string resource;        // the instrument it concerned, when any (viFindRsrc and
                                 // viFindNext: the description returned)
    std::vector<uint8_t> bytes;  // written bytes, or the reply delivered by viRead
                                 // (viFindRsrc: the expression); see kSimRecordedWhole
    ViStatus status = 0;
    uint64_t timeMs = 0;     // clock at the call
    int nth = 0;             // this call's number among the calls of `op` (as faults count)
    uint32_t byteCount = 0;  // the true number of bytes written or delivered
    uint64_t arg = 0;        // viOpen: open timeout; viSetAttribute: the value;
                             // viRead: the maximum count; viWrite: the count

    std::string text() const { return std::string(bytes.begin(), bytes.end()); }
};

// Receives every call and violation as it happens (the DLL writes them to a file).
class SimRecorder {
  public:
    virtual ~SimRecorder() = default;
    virtual void OnCall(const SimCall& call) = 0;
    virtual void OnViolation(const std::string& text) = 0;
};

// Thread-safe: calls on different instruments run in parallel, a wait (a read that times
// out) holds up only its own instrument, and calls reaching one instrument run one at a
// time, so the calls on one session stay in order. Call-level faults count every call
// of the whole run, whichever thread made it.
class SimVisa : public VisaLibrary {
  public:
    // `clock` is borrowed; nullptr gives an internal VirtualClock.
    explicit SimVisa(SimScenario scenario, SimClock* clock = nullptr);
    ~SimVisa() override;

#define SIM_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(SIM_DECLARE_METHOD)
#undef SIM_DECLARE_METHOD

    // Inspection for tests. The calls in the order they ended; read it while no call runs.
    const std::vector<SimCall>& calls() const;
    // The calls of one function, in order.
    std::vector<SimCall> callsOf(const std::string& op) const;
    // Protocol violations the instruments recorded (bad frames, short pauses, ...), each
    // prefixed with the instrument's serial number and ": ".
    std::vector<std::string> violations() const;
    // Borrowed; nullptr stops the reporting. Called under a lock, one call at a time. A
    // violation is reported with the call that reached its instrument (one found while
    // setting an instrument up: with the first call that reaches it).
    void setRecorder(SimRecorder* recorder);
    SimInstrument& instrument(size_t index);
    size_t instrumentCount() const;
    SimClock& clock();
    // Open sessions (instrument and find lists) other than the resource managers'.
    int openSessionCount() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
