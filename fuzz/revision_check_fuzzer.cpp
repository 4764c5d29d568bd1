// Identification replies of any content, with any section revisions in the loaded file:
// the reply is classified as the update does it and, where the update would go on, the
// file's revisions are checked against it.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_parser.h"
#include "firmware/memory_stream.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"
#include "fuzz_check.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "sim_visa.h"

namespace {

// One valid K4417F file, parsed once; each input rewrites its section revisions.
FirmwareInfo& LoadedFile() {
    static FirmwareInfo* info = [] {
        static const std::string bytes = ValidK4417F().Bytes();
        auto* parsed = new FirmwareInfo;
        MemoryStream stream(bytes);
        FUZZ_CHECK(ParseFirmwareFile(stream, *parsed) == kOk);
        return parsed;
    }();
    return *info;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    FirmwareInfo& info = LoadedFile();
    for (ImageSection* s = info.sections; s; s = s->next) {
        const std::string revision = in.ConsumeBytesAsString(4);
        std::memset(s->revision, 0, sizeof s->revision);
        std::memcpy(s->revision, revision.data(), revision.size());
    }
    const ModelRecord& model = ModelCatalogue[0];

    SimScenario scenario = SimScenario::SingleInstrument();
    if (const int failAt = in.ConsumeIntegralInRange<int>(0, 2))
        scenario.faults.push_back(SimFault::AtCall("viWrite", failAt, "fail"));
    const bool timeout = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    const std::string reply = in.ConsumeRemainingBytesAsString();
    scenario.faults.push_back(SimFault::AtCall("viRead", 1, timeout ? "timeout" : "reply", reply));

    RecordingWindow window;
    VirtualClock clock;
    SimVisa visa(scenario, &clock);
    InstrumentLink link(visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found;
    link.SearchInstruments(found);
    FUZZ_CHECK(!found.empty() && link.ConnectDevice(found.front()) == kOk);

    std::string text = "previous reply";
    const int code = IdentifyDevice(link, model, text);
    FUZZ_CHECK(code == kOk || code == kErrIo || code == kErrNotWriterMode ||
               code == kErrNoIdentityField);
    if (code == kErrIo) {
        FUZZ_CHECK(text == "previous reply");
        return 0;
    }
    // The stored reply is what arrived, up to its first zero byte, in upper case.
    FUZZ_CHECK(text.size() <= kReplyMax);
    const size_t delivered = std::min<size_t>(reply.size(), kReplyMax);
    FUZZ_CHECK(text.size() == strnlen(reply.c_str(), delivered));
    for (size_t i = 0; i < text.size(); ++i) {
        const char sent = reply[i];
        FUZZ_CHECK(text[i] == ((sent >= 'a' && sent <= 'z') ? sent - 'a' + 'A' : sent));
    }
    if (code == kErrNoIdentityField) {
        FUZZ_CHECK(text.find_first_not_of(',') == std::string::npos);
        return 0;
    }

    const int check = CheckRevisions(info, model, text);
    const auto commas = std::count(text.begin(), text.end(), ',');
    FUZZ_CHECK((check == kErrNoRevision) == (commas < 3));
    FUZZ_CHECK(check == kOk || check == kErrNoRevision || check == kErrInstrumentNewerThanFile);
    return 0;
}
