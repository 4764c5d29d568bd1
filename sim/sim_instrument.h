#pragma once
// One simulated instrument: its normal firmware (identification, the switch into writer
// mode), its writer and its flash, and the replies waiting to be read.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim_flash.h"
#include "sim_scenario.h"
#include "sim_writer.h"

class SimInstrument {
  public:
    SimInstrument(SimInstrumentSpec setup, const SimScenario& scenario);
    SimInstrument(const SimInstrument&) = delete;
    SimInstrument& operator=(const SimInstrument&) = delete;

    const SimInstrumentSpec& setup() const { return setup_; }
    const std::string& resource() const { return setup_.resource; }
    std::string serial() const { return SimSerialOf(setup_.resource); }

    bool inWriterMode() const { return writerMode_; }
    // "SYST:UPDATE COUNTER" arrived; the writer starts with the next session.
    bool switchPending() const { return switchPending_; }
    // Back to the normal firmware, as after switching the power off and on.
    void PowerCycle();

    SimFlash& flash() { return flash_; }
    const SimFlash& flash() const { return flash_; }
    // Sections the writer has begun (reset frames received).
    int sectionsBegun() const { return writer_.section(); }
    const std::vector<std::string>& violations() const { return violations_; }

    // The revision field as reported now: the scenario's, with the revision of every region
    // that holds a flashed section taken from that section.
    std::string RevisionField() const;
    std::string IdentificationReply() const;

    // --- Driven by SimVisa ---
    // A session was opened on this instrument.
    void Open();
    // Called at every call that reaches the instrument, before it acts: checks the pause
    // the previous write asked for.
    void CheckPause(uint64_t nowMs);
    void Receive(const uint8_t* bytes, size_t count, uint64_t nowMs);
    bool HasReply() const { return !replies_.empty(); }
    // Up to `max` bytes of the pending reply, as the instrument sends them; what does not
    // fit stays pending. `*rest` tells whether anything stayed.
    std::string TakeReply(size_t max, bool* rest);
    void DropReply();
    void AddViolation(std::string text) { violations_.push_back(std::move(text)); }

  private:
    void ReceiveText(const std::string& text);
    void SaveFlash();

    SimInstrumentSpec setup_;
    const SimScenario& scenario_;
    SimFlash flash_;
    std::deque<std::string> replies_;
    std::vector<std::string> violations_;
    SimWriter writer_;
    bool writerMode_ = false;
    bool switchPending_ = false;
    uint64_t lastWriteMs_ = 0;
    uint32_t pauseNeededMs_ = 0;
    std::string lastWrite_;
};
