#pragma once
// The dry run of one instrument: what an update would find, without changing anything.

#include <string>

class InstrumentLink;
class RunLines;
struct FirmwareImage;

// Connects to `resource`, identifies it in whatever mode it is and compares the revisions;
// every section's region, revisions and size go to the log. Sends "*IDN?\n" only. 0, or
// the code the update would have ended with at that point. `current`: the identification
// shows the file's revision for every region (see ShowsFileRevisions).
int DryRun(InstrumentLink& link, const FirmwareImage& image, const std::string& resource,
           RunLines& lines, bool& current);
