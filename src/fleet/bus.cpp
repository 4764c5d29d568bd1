#include "fleet/bus.h"

#include "app/device_identity.h"
#include "base/result_code.h"
#include "base/run_clock.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "visa/visa_library.h"

namespace {

// Searching and identifying never pause.
class NoPauses : public RunClock {
  public:
    void Sleep(uint32_t) override {}
    uint64_t NowMs() override { return 0; }
};

}  // namespace

void BuiltInIds(std::string& vid, std::string& pid) {
    DeviceIdentity identity;
    ParseIdentityLine(identity, kDefaultIdentityLine);
    vid = NormaliseUsbId(identity.vid);
    pid = NormaliseUsbId(identity.pid);
}

std::vector<std::string> SearchBus(VisaLibrary& visa) {
    std::string vid, pid;
    BuiltInIds(vid, pid);
    NoPauses clock;
    InstrumentLink link(visa, clock, vid, pid);
    std::vector<std::string> found;
    return link.SearchInstruments(found) > 0 ? found : std::vector<std::string>();
}

std::string AccessProblem(VisaLibrary& visa, const std::string& resource) {
    return visa.AccessProblem(resource);
}

InstrumentState IdentifyInstrument(VisaLibrary& visa, const std::string& resource) {
    std::string vid, pid;
    BuiltInIds(vid, pid);
    NoPauses clock;
    InstrumentLink link(visa, clock, vid, pid);
    InstrumentState state;
    state.code = link.ConnectDevice(resource);
    std::string reply;
    if (state.code == kOk) state.code = IdentifyDevice(link, *FindModel("K4417F"), reply);
    link.DisconnectDevice();
    state.mode = state.code == kErrNotWriterMode ? "normal"
                 : state.code == kOk             ? "writer"
                                                 : "unknown";
    if (state.mode != "unknown") state.code = kOk;
    state.revisions = RevisionField(reply);
    return state;
}
