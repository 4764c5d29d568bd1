#pragma once
// The simulated instrument as a process-wide VISA library: what visa32.dll (Windows) and
// libfwsim-visa.so (Linux) hold behind their exports. The scenario comes from a JSON file
// (empty path: one instrument in its normal firmware), every call is recorded to a file
// (empty path: none), and time is the real clock.

#include <memory>
#include <string>

#include "sim_record_file.h"
#include "sim_visa.h"

class SimLibrary {
  public:
    SimLibrary(const std::string& scenarioPath, const std::string& recordPath);
    // nullptr when the scenario could not be read: then every call must fail, since a
    // broken scenario must not pass for an instrument.
    SimVisa* visa() { return visa_.get(); }

  private:
    SimFileRecorder recorder_;
    std::unique_ptr<SteadyClock> clock_;
    std::unique_ptr<SimVisa> visa_;
};
