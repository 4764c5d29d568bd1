#pragma once
// Runs as JSON lines on stdout: "log", "progress" (at most 10 a second per instrument),
// "section" (a section in the flash) and "end" events, each naming its instrument's serial.
// README documents their keys: callers rely on them.

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "fleet/fleet_events.h"
#include "output_stream.h"

class JsonEvents : public FleetEvents {
  public:
    JsonEvents(OutputStream& out, std::function<uint64_t()> nowMs)
        : out_(out), nowMs_(std::move(nowMs)) {}
    void Log(const std::string& serial, const std::string& line) override;
    void Progress(const std::string& serial, int section, int sections, int percent) override;
    void SectionWritten(const std::string& serial, int index, int count,
                        const std::string& region) override;
    void End(const RunEnd& end) override;

  private:
    OutputStream& out_;
    std::function<uint64_t()> nowMs_;
    std::mutex mutex_;
    std::map<std::string, uint64_t> lastProgressMs_;
};
