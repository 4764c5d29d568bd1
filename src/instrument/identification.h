#pragma once
// Which firmware the instrument runs, the switch into its writer mode, and the
// comparison of the file's section revisions with the instrument's.

#include <string>

class InstrumentLink;
struct FirmwareInfo;
struct ModelRecord;

// Sends "*IDN?\n" and classifies the reply: 0 (writer mode), 4, 5 (normal firmware) or 7.
// `reply` receives the whole upper-cased reply; it keeps its content on 4.
int IdentifyDevice(InstrumentLink& link, const ModelRecord& model, std::string& reply);
// Sends "SYST:UPDATE COUNTER\n": 0 or 4.
int SwitchToWriter(InstrumentLink& link);
// 0, 21 (fewer than three commas) or 22 (a file section older than the instrument's).
int CheckRevisions(FirmwareInfo& info, const ModelRecord& model, const std::string& reply);
