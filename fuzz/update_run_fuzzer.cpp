// Whole update runs against the simulated instrument with several faults at once, chosen by
// the fuzzer: failed, timed-out, silent or replaced calls anywhere in the run, writer steps
// answered wrongly or not at all, replies in lower case, any number of progress lines.
// However the run ends, the operator's dialog must be left as every ending promises.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "firmware_builder.h"
#include "fuzz_check.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "ui/control_ids.h"
#include "ui/update_dialog.h"

namespace {

constexpr const char* kOps[] = {"viFindRsrc",     "viFindNext", "viOpen",
                                "viSetAttribute", "viRead",     "viWrite"};
constexpr const char* kActions[] = {"fail", "timeout", "reply", "silent"};
constexpr const char* kSteps[] = {"reset",           "end_load_data", "end_load",    "select",
                                  "checksum_length", "checksum",      "flash_check", "final"};
constexpr const char* kTexts[] = {
    "OK", "ok", "NG", "ERASE NG", "PROGRAM NG", "RTNOK", "DATA IS THE LATEST UPDATE", ""};
constexpr char kCompleted[] = "--------------- Completed ---------------";

const std::string& FilePath() {
    static TempFile file(ValidK4417F({24, 16, 16, 1100, 20, 8}).Bytes());
    return file.path();
}

SimFault RandomFault(FuzzedDataProvider& in) {
    SimFault fault;
    if (in.ConsumeBool()) {
        fault.op = in.PickValueInArray(kOps);
        fault.nth = in.ConsumeIntegralInRange<int>(1, 160);
        fault.action = in.PickValueInArray(kActions);
    } else {
        fault.section = in.ConsumeIntegralInRange<int>(1, 7);
        fault.step = in.PickValueInArray(kSteps);
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) fault.action = "silent";
    }
    fault.text = in.ConsumeBool() ? std::string(in.PickValueInArray(kTexts))
                                  : in.ConsumeRandomLengthString(40);
    return fault;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    SimScenario scenario;
    SimInstrumentSpec instrument;
    instrument.resource = "USB0::0x0D3F::0x1141::TW00012345::INSTR";
    instrument.revision = SimRevisionField(SimRegionRevisions{});
    instrument.mode = in.ConsumeBool() ? "normal" : "writer";
    instrument.lowerCaseReplies = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0)
        instrument.idnReply = in.ConsumeRandomLengthString(80);
    scenario.instruments.push_back(instrument);
    scenario.progressLines = in.ConsumeIntegralInRange<int>(-1, 6);
    const int faults = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < faults; ++i) scenario.faults.push_back(RandomFault(in));

    RecordingWindow window;
    VirtualClock clock;
    window.onSleep = [&clock](uint32_t ms) { clock.Advance(ms); };
    SimVisa visa(scenario, &clock);
    UpdateDialog core(visa, window, "0x0d3f", "0x1141");
    core.Initialise();
    window.filesToChoose.push_back(FilePath());
    core.LoadFirmwareFile();
    FUZZ_CHECK(window.IsEnabled(IDC_UPDATE));
    window.boxes.clear();
    window.boxAnswers.push_back(kIdYes);
    core.RunUpdate();

    // Exactly one way of ending: completed, a reported code, or nobody found.
    const std::string log = window.Log();
    const bool completed = log.find(kCompleted) != std::string::npos;
    const bool reported = log.find("\r\nError number: ") != std::string::npos;
    const bool nobody = !window.boxes.empty() && window.boxes[0].text == "No instrument found.";
    FUZZ_CHECK(completed + reported + nobody == 1);
    if (completed)
        FUZZ_CHECK(
            log.size() >= sizeof kCompleted - 1 &&
            log.compare(log.size() - (sizeof kCompleted - 1), std::string::npos, kCompleted) == 0);
    FUZZ_CHECK(visa.openSessionCount() == 0);
    FUZZ_CHECK(window.IsEnabled(IDC_BROWSE) && window.IsEnabled(IDC_UPDATE));
    FUZZ_CHECK(core.transferInProgress() == 0 && core.CanClose());
    return 0;
}
