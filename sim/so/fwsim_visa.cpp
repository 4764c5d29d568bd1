// libfwsim-visa.so: the simulated instrument as a Linux VISA library, exporting the eight
// entry points with C linkage under their standard names. FWSIM_SCENARIO names a JSON
// scenario file (unset: one instrument in its normal firmware); FWSIM_RECORD names the file
// that receives the calls as JSON lines.

#include <cstdlib>
#include <string>

#include "sim_library.h"

namespace {

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

SimVisa* Visa() {
    // Created at the first call, after the caller set the environment.
    static SimLibrary library(EnvironmentText("FWSIM_SCENARIO"), EnvironmentText("FWSIM_RECORD"));
    return library.visa();
}

}  // namespace

#define FWSIM_EXPORT(ordinal, name, params, args)                            \
    extern "C" __attribute__((visibility("default"))) ViStatus name params { \
        SimVisa* visa = Visa();                                              \
        return visa ? visa->name args : VI_ERROR_SYSTEM_ERROR;               \
    }
VISA_FUNCTIONS(FWSIM_EXPORT)
#undef FWSIM_EXPORT
