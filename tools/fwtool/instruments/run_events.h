#pragma once
// What the runs tell the person or the script behind the command line. Two forms: text
// (text_events.cpp) and JSON lines (json_events.cpp). Called from every run's thread.

#include <cstdint>
#include <string>

struct RunEnd {
    std::string serial;
    std::string resource;
    int code = 0;
    double seconds = 0;
    bool dryRun = false;
};

class RunEvents {
  public:
    virtual ~RunEvents() = default;
    // A completed log line of the instrument's run.
    virtual void Log(const std::string& serial, const std::string& line) = 0;
    // Section `section` of `sections` is at `percent`.
    virtual void Progress(const std::string& serial, int section, int sections, int percent) = 0;
    virtual void End(const RunEnd& end) = 0;
};

// The message of an ending: the error table's ("Update is complete." for 0); a dry run that
// found nothing against the update says so instead.
std::string EndMessage(const RunEnd& end);
