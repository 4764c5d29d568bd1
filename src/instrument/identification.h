#pragma once
// Which firmware the instrument runs, the switch into its writer mode, and the
// comparison of the file's section revisions with the instrument's.

#include <string>

class InstrumentLink;
struct FirmwareInfo;
struct ModelRecord;

// Sends "*IDN?\n" and classifies the reply: 0 (writer mode), 4, 5 (normal firmware) or 7.
// `reply` receives the whole upper-cased reply; it keeps its content on 4. `asRead`, when
// given, receives the reply as it came, on every read that succeeded.
int IdentifyDevice(InstrumentLink& link, const ModelRecord& model, std::string& reply,
                   std::string* asRead = nullptr);
// Sends "SYST:UPDATE COUNTER\n": 0 or 4.
int SwitchToWriter(InstrumentLink& link);

// Whether the file's revisions are compared with the instrument's at all: a file revision
// beginning with '0' (or a byte above 0x7F) is written unchecked.
bool RevisionCheckRuns(const FirmwareInfo& info);
// Where the revision field of an identification reply starts (after its third comma), or
// std::string::npos when the reply has fewer commas.
size_t RevisionFieldStart(const std::string& reply);
// The revision field as shown to people: without its line end; empty when there is none.
std::string RevisionField(const std::string& reply);
// 0, 21 (fewer than three commas) or 22 (a file section older than the instrument's).
int CheckRevisions(const FirmwareInfo& info, const ModelRecord& model, const std::string& reply);
// Whether the revision `field` shows the file's revision for every region the instrument
// reports (all but the OEM row): all the characters the region's extractor takes (one, two
// or four) begin the file's section revision. A region the field is too short for shows
// nothing. Only a guess at what the writer will say: it compares the flash itself.
bool ShowsFileRevisions(const FirmwareInfo& info, const ModelRecord& model,
                        const std::string& field);
