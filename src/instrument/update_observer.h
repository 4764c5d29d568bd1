#pragma once
// What an update run tells its front end, in the procedure's own terms. The window maps
// each event onto its controls (ui/update_dialog.h); the engine turns them into lines and
// progress for the command line (fleet/). Called on the run's thread, in this order:
// log pieces throughout; Confirm once after the first connection; Identified after each
// identification that got a reply; WriterSessionBegins; then per section Section, its
// Progress and, once its flash write has completed, SectionWritten; End last.

#include <cstdint>
#include <string>

struct SectionSpec;

enum class LogEnd {
    kContinued,  // the line goes on after the text
    kCompleted,  // the text ends the line
};

class UpdateObserver {
  public:
    virtual ~UpdateObserver() = default;

    // A piece of the run's log.
    virtual void Log(const std::string& text, LogEnd end) = 0;
    // Asked before anything is sent that changes the instrument: `found` instruments are on
    // the bus, `serial` is this one's. True to go on.
    virtual bool Confirm(int32_t found, const std::string& serial) = 0;
    // An identification reply as the instrument sent it (letter case kept, every byte read).
    virtual void Identified(const std::string& reply) = 0;
    // From here until the end the instrument runs its writer: nothing may interrupt the run.
    virtual void WriterSessionBegins() = 0;
    // Section `index` (from 1) of `count` starts: the flash region and the bytes it gets.
    virtual void Section(int index, int count, const SectionSpec& region, uint32_t bytes) = 0;
    // Within the current section, `done` of `total` steps; each section starts at 0 (three
    // steps per flash sector and one more).
    virtual void Progress(uint32_t done, uint32_t total) = 0;
    // Section `index` of `count` is in the flash: its writer answered OK to the flash write.
    virtual void SectionWritten(int index, int count, const SectionSpec& region) = 0;
    // The run ended with `code` (0: completed), before its session is closed.
    virtual void End(int code) = 0;
};
