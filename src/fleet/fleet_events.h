#pragma once
// What the engine's runs tell their front end, one instrument among several: completed log
// lines, progress in percent of the current section, each section that reached the flash,
// and each run's end. Called from every
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
    std::string imageRev;     // the file's revision
    int sectionsWritten = 0;  // sections whose flash write completed
    // The instrument already holds this data: its writer said so (19). In a dry run, its
    // identification shows the file's revision for every region (ShowsFileRevisions).
    bool current = false;
};

class FleetEvents {
  public:
    virtual ~FleetEvents() = default;
    // A completed log line of the instrument's run.
    virtual void Log(const std::string& serial, const std::string& line) = 0;
    // Section `section` of `sections` is at `percent` of its steps.
    virtual void Progress(const std::string& serial, int section, int sections, int percent) = 0;
    // Section `index` of `count`, of the flash region `region`, is written.
    virtual void SectionWritten(const std::string& /*serial*/, int /*index*/, int /*count*/,
                                const std::string& /*region*/) {}
    // The run has ended and its sessions are closed.
    virtual void End(const RunEnd& end) = 0;
};

// The message of an ending: the error table's ("Update is complete." for 0); a dry run that
// found nothing against the update says so instead.
std::string EndMessage(const RunEnd& end);
