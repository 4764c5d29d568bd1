#pragma once
// Runs as text: log lines on stdout, each prefixed with its instrument's serial, the last
// line of each run, a summary table once every run has ended, and on a terminal a progress
// line per instrument on stderr, redrawn in place.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/fleet_events.h"
#include "output_stream.h"

class TextEvents : public FleetEvents {
  public:
    // `serials`: the instruments, in the order of their progress lines.
    TextEvents(OutputStream& out, OutputStream& err, std::vector<std::string> serials,
               std::function<uint64_t()> nowMs);
    // Waits until the output thread has drawn what it was given, which it draws from this
    // object; every run has ended, so a reader that does not read gets 2 s, then nothing.
    ~TextEvents() override { err_.Flush(os::OutputWriter::kDrainMs); }
    void Log(const std::string& serial, const std::string& line) override;
    void Progress(const std::string& serial, int section, int sections, int percent) override;
    void End(const RunEnd& end) override;
    // The closing table: one row per instrument, in the order given.
    void Summary(const std::vector<RunEnd>& ends);

  private:
    static std::string Prefix(const std::string& serial);
    void Print(const std::string& line);  // a line on stdout, the progress kept below it
    // The progress block's erasure and drawing, made on the output thread.
    std::string EraseProgress();
    std::string DrawProgress();

    OutputStream& out_;
    OutputStream& err_;
    std::vector<std::string> serials_;
    std::vector<std::string> progress_;  // per serial, empty until its first progress
    std::function<uint64_t()> nowMs_;
    uint64_t startMs_;
    std::mutex displayMutex_;  // log lines and the progress block share one terminal
    std::mutex drawMutex_;     // guards what follows and progress_
    int drawnLines_ = 0;
};
