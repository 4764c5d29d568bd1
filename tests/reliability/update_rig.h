#pragma once
// The rig every reliability test stands on: the dialog's core with a recording window,
// a simulated instrument on a virtual clock, and a firmware file on disk loaded through
// the browse button, so that Update is enabled as the operator would find it.

#include <cstdint>
#include <memory>
#include <string>

#include "firmware_builder.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "update/updater.h"

constexpr char kBenchResource[] = "USB0::0x0D3F::0x1141::TW00012345::INSTR";
constexpr char kCompletedLine[] = "--------------- Completed ---------------";

// One instrument in its normal firmware, reporting revisions older than any test file's.
SimScenario BenchScenario();

class UpdateRig {
  public:
    UpdateRig(SimScenario scenario, const std::string& fileBytes);
    UpdateRig(const UpdateRig&) = delete;
    UpdateRig& operator=(const UpdateRig&) = delete;

    // The browse button with `path` chosen; true when Update ended up enabled.
    bool Load(const std::string& path);
    // The Update button, answering the confirmation with Yes.
    void PressUpdate();

    bool Completed() const;
    // The number in the log's last "Error number: N" line, or -1.
    int ReportedCode() const;

    RecordingWindow window;
    VirtualClock clock;
    SimVisa visa;
    Updater core;
    TempFile file;
};
