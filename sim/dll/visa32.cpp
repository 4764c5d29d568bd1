// visa32.dll for the real program under Wine: the eight VISA entry points, answered by the
// simulated instrument. FWSIM_SCENARIO names a JSON scenario file (unset: one instrument in
// its normal firmware); FWSIM_RECORD names the file that receives the calls as JSON lines.

#include <windows.h>

#include <memory>
#include <string>

#include "sim_record_file.h"
#include "sim_visa.h"

namespace {

// Read from the process environment itself, not the C runtime's copy of it taken at start:
// a test may set the variables just before loading the library.
std::string EnvironmentText(const char* name) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

class DllState {
  public:
    DllState() : recorder_(EnvironmentText("FWSIM_RECORD")) {
        SimScenario scenario = SimScenario::SingleInstrument();
        std::string path = EnvironmentText("FWSIM_SCENARIO");
        std::string error;
        if (!path.empty() && !SimScenario::FromFile(path, scenario, error)) {
            // A broken scenario must not pass for an instrument: every call fails.
            recorder_.OnError(error);
            return;
        }
        clock_ = std::make_unique<SteadyClock>(scenario.timeoutScale);
        visa_ = std::make_unique<SimVisa>(std::move(scenario), clock_.get());
        visa_->setRecorder(&recorder_);
    }
    SimVisa* visa() { return visa_.get(); }

  private:
    SimFileRecorder recorder_;
    std::unique_ptr<SteadyClock> clock_;
    std::unique_ptr<SimVisa> visa_;
};

SimVisa* Visa() {
    static DllState state;  // created at the first call, after the caller set the environment
    return state.visa();
}

}  // namespace

#define FWSIM_EXPORT(ordinal, name, params, args)              \
    extern "C" ViStatus __stdcall name params {                \
        SimVisa* visa = Visa();                                \
        return visa ? visa->name args : VI_ERROR_SYSTEM_ERROR; \
    }
VISA_FUNCTIONS(FWSIM_EXPORT)
#undef FWSIM_EXPORT
