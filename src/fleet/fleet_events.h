#pragma once
// What the engine's runs tell their front end, one instrument among several: completed log
// lines, progress in percent of the current section, and each run's end. Called from every
// run's thread; the command line prints them as text or JSON lines.

#include <cstdint>
#include <string>

struct RunEnd {
    std::string serial;
    std::string resource;
    int code = 0;
    double seconds = 0;
    bool dryRun = false;
    // The revision field of the instrument's first identification reply, as it came
    // (empty when there was none).
    std::string revisions;
};

class FleetEvents {
  public:
    virtual ~FleetEvents() = default;
    // A completed log line of the instrument's run.
    virtual void Log(const std::string& serial, const std::string& line) = 0;
    // Section `section` of `sections` is at `percent`.
    virtual void Progress(const std::string& serial, int section, int sections, int percent) = 0;
    // The run has ended and its sessions are closed.
    virtual void End(const RunEnd& end) = 0;
};

// The message of an ending: the error table's ("Update is complete." for 0); a dry run that
// found nothing against the update says so instead.
std::string EndMessage(const RunEnd& end);
