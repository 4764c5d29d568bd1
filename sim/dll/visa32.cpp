// visa32.dll for the real program under Wine: the eight VISA entry points, answered by the
// simulated instrument. FWSIM_SCENARIO names a JSON scenario file (unset: one instrument in
// its normal firmware); FWSIM_RECORD names the file that receives the calls as JSON lines.

#include <windows.h>

#include <string>

#include "sim_library.h"

namespace {

// Read from the process environment itself, not the C runtime's copy of it taken at start:
// a test may set the variables just before loading the library.
std::string EnvironmentText(const char* name) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

SimVisa* Visa() {
    // Created at the first call, after the caller set the environment.
    static SimLibrary library(EnvironmentText("FWSIM_SCENARIO"), EnvironmentText("FWSIM_RECORD"));
    return library.visa();
}

}  // namespace

#define FWSIM_EXPORT(ordinal, name, params, args)              \
    extern "C" ViStatus __stdcall name params {                \
        SimVisa* visa = Visa();                                \
        return visa ? visa->name args : VI_ERROR_SYSTEM_ERROR; \
    }
VISA_FUNCTIONS(FWSIM_EXPORT)
#undef FWSIM_EXPORT
