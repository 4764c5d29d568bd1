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
    // Declared first: made before the members that refer to them.
    std::unique_ptr<VirtualClock> ownClock_;
    std::unique_ptr<SimVisa> ownVisa_;

  public:
    UpdateRig(SimScenario scenario, const std::string& fileBytes);
    // A dialog of its own on a simulated instrument shared with other benches, one thread
    // each, as the command line updates several instruments at once.
    UpdateRig(SimVisa& shared, VirtualClock& sharedClock, const std::string& fileBytes);
    UpdateRig(const UpdateRig&) = delete;
    UpdateRig& operator=(const UpdateRig&) = delete;

    // The browse button with `path` chosen; true when Update ended up enabled.
    bool Load(const std::string& path);
    // The Update button, answering the confirmation with Yes; with `resource`, that
    // instrument is the one chosen in the list beforehand.
    void PressUpdate(const std::string& resource = {});

    bool Completed() const;
    // The number in the log's last "Error number: N" line, or -1.
    int ReportedCode() const;

    RecordingWindow window;
    VirtualClock& clock;
    SimVisa& visa;
    Updater core;
    TempFile file;
};
