#include "update_rig.h"

#include <cstdlib>

#include "ui/control_ids.h"

SimScenario BenchScenario() {
    SimScenario scenario;
    SimInstrumentSpec instrument;
    instrument.resource = kBenchResource;
    instrument.revision = SimRevisionField(SimRegionRevisions{});
    scenario.instruments.push_back(instrument);
    scenario.timingChecks = true;
    return scenario;
}

UpdateRig::UpdateRig(SimScenario scenario, const std::string& fileBytes)
    : ownClock_(std::make_unique<VirtualClock>()),
      ownVisa_(std::make_unique<SimVisa>(std::move(scenario), ownClock_.get())),
      clock(*ownClock_),
      visa(*ownVisa_),
      core(visa, window, "0x0d3f", "0x1141"),
      file(fileBytes) {
    window.onSleep = [this](uint32_t ms) { clock.Advance(ms); };
    core.Initialise();
}

UpdateRig::UpdateRig(SimVisa& shared, VirtualClock& sharedClock, const std::string& fileBytes)
    : clock(sharedClock), visa(shared), core(visa, window, "0x0d3f", "0x1141"), file(fileBytes) {
    window.onSleep = [this](uint32_t ms) { clock.Advance(ms); };
    core.Initialise();
}

bool UpdateRig::Load(const std::string& path) {
    window.filesToChoose.push_back(path);
    core.LoadFirmwareFile();
    return window.IsEnabled(IDC_UPDATE);
}

void UpdateRig::PressUpdate(const std::string& resource) {
    if (!resource.empty()) {
        window.devices = {resource};
        window.selected = 0;
    }
    window.boxAnswers.push_back(kIdYes);
    core.RunUpdate();
}

bool UpdateRig::Completed() const {
    return window.Log().find(kCompletedLine) != std::string::npos;
}

int UpdateRig::ReportedCode() const {
    const std::string log = window.Log();
    const std::string marker = "\r\nError number: ";
    const size_t at = log.rfind(marker);
    if (at == std::string::npos) return -1;
    return std::atoi(log.c_str() + at + marker.size());
}
