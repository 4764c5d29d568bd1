// One section transfer against the simulated writer, each of whose replies the fuzzer may
// leave as the writer's own or replace: a wrong text, a failed, timed-out or lost read, a
// reply filling all 255 bytes, progress lines and chatter; a write can fail too. The section itself
// has fuzzed length, flag, id and checksum length, as a damaged file could carry them.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "fuzz_check.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "sim_visa.h"
#include "ui/update_dialog.h"
#include "writer/section_transfer.h"

namespace {

constexpr uint32_t kMaxLength = 6000;
constexpr uint32_t kSectorSizes[] = {0x10000, 1024, 4096, 1000, 1, 0};

bool BeginsWithOk(const std::string& text) {
    return text.size() >= 2 && (text[0] | 0x20) == 'o' && (text[1] | 0x20) == 'k';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    ImageSection section;
    section.length = in.ConsumeIntegralInRange<uint32_t>(0, kMaxLength);
    const uint32_t held = section.length + 6;
    section.data = AllocateZeroed(held);
    FUZZ_CHECK(section.data);
    const std::string bytes = in.ConsumeBytesAsString(held);
    std::memcpy(section.data.get(), bytes.data(), bytes.size());
    section.word1 = in.ConsumeBool() ? section.length : in.ConsumeIntegral<uint32_t>();
    for (int i = 0; held >= 12 && i < 4; ++i) {
        section.data.get()[4 + i] = static_cast<uint8_t>(section.word1 >> (24 - 8 * i));
        section.data.get()[8 + i] = static_cast<uint8_t>(section.length >> (24 - 8 * i));
    }
    section.id = in.ConsumeBool() ? 14 : in.ConsumeIntegral<uint8_t>();
    section.flag = in.ConsumeBool() ? 1 : in.ConsumeIntegral<uint8_t>();
    section.data.get()[held - 2] = section.id;
    section.data.get()[held - 1] = section.flag;
    section.bytesRead = held;

    SectionSpec region = ModelCatalogue[0].sections[3];
    region.sectorSize = in.PickValueInArray(kSectorSizes);

    SimScenario scenario = SimScenario::SingleInstrument("writer");
    if (const int failAt = in.ConsumeIntegralInRange<int>(0, 40))
        scenario.faults.push_back(
            SimFault::AtCall("viWrite", failAt, in.ConsumeBool() ? "timeout" : "fail"));
    for (int nth = 1; in.remaining_bytes() > 0; ++nth) {
        auto reply = [&](std::string text) {
            scenario.faults.push_back(SimFault::AtCall("viRead", nth, "reply", std::move(text)));
        };
        switch (in.ConsumeIntegralInRange<int>(0, 8)) {
            case 0:
                break;  // the writer's own answer
            case 1:
                reply("ok");
                break;
            case 2:
                reply(in.ConsumeBool() ? "ERAS:14" : "PROG:15");
                break;
            case 3:
                scenario.faults.push_back(SimFault::AtCall("viRead", nth, "timeout"));
                break;
            case 4:
                scenario.faults.push_back(SimFault::AtCall("viRead", nth, "silent"));
                break;
            case 5:
                reply(std::string(255 + in.ConsumeIntegralInRange<int>(0, 10), 'O'));
                break;
            case 6:
                reply("OK\r\n");
                break;
            default:
                reply(in.ConsumeRandomLengthString(300));
                break;
        }
    }

    RecordingWindow window;
    VirtualClock clock;
    window.onSleep = [&clock](uint32_t ms) { clock.Advance(ms); };
    SimVisa visa(scenario, &clock);
    InstrumentLink link(visa, window, "0x0d3f", "0x1141");
    std::vector<std::string> found;
    link.SearchInstruments(found);
    FUZZ_CHECK(!found.empty() && link.ConnectDevice(found.front()) == kOk);
    const size_t connected = visa.calls().size();

    UpdateDialog dialog(visa, window, "0x0d3f", "0x1141");  // the events as the window shows them
    const int code = WriteSection(link, dialog.events(), section, region);
    switch (code) {
        case kOk:
        case kErrNotComplete:
        case kErrIo:
        case kErrResetReply:
        case kErrEndLoadReply:
        case kErrSelectReply:
        case kErrChecksumLengthReply:
        case kErrChecksumEmpty:
        case kErrFlashCheckReply:
        case kErrEraseNg:
        case kErrProgramNg:
        case kErrLatestUpdate:
        case kErrFileTruncated:
            break;
        default:
            FUZZ_CHECK(!"result code outside the transfer's set");
    }

    std::vector<SimCall> calls;  // the transfer's reads and writes
    for (size_t i = connected; i < visa.calls().size(); ++i)
        if (visa.calls()[i].op == "viRead" || visa.calls()[i].op == "viWrite")
            calls.push_back(visa.calls()[i]);
    if (code == kErrFileTruncated) {
        // A section that cannot be sent whole is refused before the writer hears of it.
        FUZZ_CHECK(calls.empty());
        return 0;
    }
    FUZZ_CHECK(!calls.empty());
    const SimCall& last = calls.back();
    const bool lastIsWrite = last.op == "viWrite";
    if (code == kOk) {
        // Success only on the writer's final "OK" line, read whole.
        FUZZ_CHECK(!lastIsWrite && last.status == VI_SUCCESS && BeginsWithOk(last.text()));
    } else {
        // Nothing is sent after the step that failed: the last call is that step's read,
        // or the write that failed.
        FUZZ_CHECK(!lastIsWrite || last.status != VI_SUCCESS);
    }
    for (const SimCall& call : calls) FUZZ_CHECK(call.op == "viRead" || call.byteCount <= 1024);
    // Every failed call ends the transfer at once.
    for (size_t i = 0; i + 1 < calls.size(); ++i) FUZZ_CHECK(calls[i].status == VI_SUCCESS);
    if (code != kErrIo) FUZZ_CHECK(last.status == VI_SUCCESS);
    return 0;
}
