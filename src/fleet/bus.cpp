#include "fleet/bus.h"

#include "app/device_identity.h"
#include "base/result_code.h"
#include "base/run_clock.h"
#include "firmware/model_catalogue.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "instrument/resource_name.h"
#include "os/instrument_lock.h"
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

const char* StateName(InstrumentState state) {
    switch (state) {
        case InstrumentState::kNormal:
            return "normal";
        case InstrumentState::kWriter:
            return "writer";
        case InstrumentState::kUnknown:
            return "unknown";
        case InstrumentState::kBusy:
            return "busy";
        case InstrumentState::kNoAccess:
            return "no-access";
    }
    return "unknown";
}

ListedInstrument IdentifyInstrument(VisaLibrary& visa, const std::string& resource) {
    std::string vid, pid;
    BuiltInIds(vid, pid);
    NoPauses clock;
    InstrumentLink link(visa, clock, vid, pid);
    ListedInstrument listed;
    listed.code = link.ConnectDevice(resource);
    std::string reply;
    if (listed.code == kOk) listed.code = IdentifyDevice(link, *FindModel("K4417F"), reply);
    link.DisconnectDevice();
    listed.state = listed.code == kErrNotWriterMode ? InstrumentState::kNormal
                   : listed.code == kOk             ? InstrumentState::kWriter
                                                    : InstrumentState::kUnknown;
    if (listed.state != InstrumentState::kUnknown) listed.code = kOk;
    listed.revisions = RevisionField(reply);
    return listed;
}

ListedInstrument ExamineInstrument(VisaLibrary& visa, const std::string& resource) {
    ListedInstrument listed;
    listed.why = AccessProblem(visa, resource);
    if (!listed.why.empty()) {
        listed.state = InstrumentState::kNoAccess;
        return listed;
    }
    os::InstrumentLock lock;
    if (lock.Take(SerialFromResource(resource)) != os::InstrumentLock::kTaken) {
        listed.state = InstrumentState::kBusy;
        listed.why = lock.problem();  // empty when another updater holds it
        return listed;
    }
    return IdentifyInstrument(visa, resource);
}
