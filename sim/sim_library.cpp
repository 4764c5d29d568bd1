#include "sim_library.h"

SimLibrary::SimLibrary(const std::string& scenarioPath, const std::string& recordPath)
    : recorder_(recordPath) {
    SimScenario scenario = SimScenario::SingleInstrument();
    std::string error;
    if (!scenarioPath.empty() && !SimScenario::FromFile(scenarioPath, scenario, error)) {
        recorder_.OnError(error);
        return;
    }
    clock_ = std::make_unique<SteadyClock>(scenario.timeoutScale);
    visa_ = std::make_unique<SimVisa>(std::move(scenario), clock_.get());
    visa_->setRecorder(&recorder_);
}
