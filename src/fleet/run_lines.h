#pragma once
// One run's events as the engine's front ends take them: completed log lines, the percentage
// of the current section, the sections written, and the revision field of the first
// identification reply.

#include <cstdint>
#include <string>
#include <utility>

#include "fleet/fleet_events.h"
#include "instrument/update_observer.h"

class RunLines : public UpdateObserver {
  public:
    RunLines(FleetEvents& events, std::string serial)
        : events_(events), serial_(std::move(serial)) {}
    // The revision field of the first identification reply that held anything.
    std::string revisions() const;
    int sectionsWritten() const { return sectionsWritten_; }

    void Log(const std::string& text, LogEnd end) override;
    // The front end asked its question before any run started.
    bool Confirm(int32_t, const std::string&) override { return true; }
    void Identified(const std::string& reply) override {
        if (firstReply_.empty()) firstReply_ = reply;
    }
    void WriterSessionBegins() override {}
    void Section(int index, int count, const SectionSpec&, uint32_t) override {
        section_ = index;
        sections_ = count;
    }
    void Progress(uint32_t done, uint32_t total) override;
    void SectionWritten(int index, int count, const SectionSpec& region) override;
    void End(int code) override;

  private:
    void Flush();

    FleetEvents& events_;
    std::string serial_;
    std::string pending_;
    std::string firstReply_;
    int section_ = 0, sections_ = 0;
    int sectionsWritten_ = 0;
};
