// One section transfer against a writer whose every reply is chosen by the fuzzer: the
// right answer, a wrong text, a failed or timed-out read, a reply filling all 255 bytes,
// progress lines and chatter; writes can fail too. The section itself has fuzzed length,
// flag, id and checksum length, as a damaged file could carry them.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "fuzz_check.h"
#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "scripted_instrument.h"
#include "writer/section_transfer.h"

namespace {

constexpr uint32_t kMaxLength = 6000;
constexpr uint32_t kSectorSizes[] = {0x10000, 1024, 4096, 1000, 1, 0};

void PutBigEndian(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

// The writer's own view of the checksum: big-endian words summed from offset 8 over k - 8
// bytes rounded up to whole words; what lies past the section counts as zero. A length
// reaching past the section is never sent, so it is not worth summing gigabytes for.
uint32_t WriterChecksum(const ImageSection& s, uint32_t k) {
    if (k < 8 || k > s.length + 6) return 0;
    const uint64_t end = 8 + (uint64_t{k} - 8 + 3) / 4 * 4;
    const uint64_t size = uint64_t{s.length} + 6;
    uint32_t sum = 0;
    for (uint64_t at = 8; at < end; at += 4) {
        uint32_t word = 0;
        for (uint64_t i = at; i < at + 4; ++i)
            word = (word << 8) | (i < size ? s.data.get()[i] : 0);
        sum += word;
    }
    return sum;
}

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
    if (held >= 12) {
        PutBigEndian(section.data.get() + 4, section.word1);
        PutBigEndian(section.data.get() + 8, section.length);
    }
    section.id = in.ConsumeBool() ? 14 : in.ConsumeIntegral<uint8_t>();
    section.flag = in.ConsumeBool() ? 1 : in.ConsumeIntegral<uint8_t>();
    section.data.get()[held - 2] = section.id;
    section.data.get()[held - 1] = section.flag;
    section.bytesRead = held;

    SectionSpec region = ModelCatalogue[0].sections[3];
    region.sectorSize = in.PickValueInArray(kSectorSizes);

    ScriptedInstrument instrument;
    if (const uint32_t failAt = in.ConsumeIntegralInRange<uint32_t>(0, 40)) {
        instrument.writeStatuses.assign(failAt - 1, VI_SUCCESS);
        instrument.writeStatuses.push_back(in.ConsumeBool() ? VI_ERROR_TMO : VI_ERROR_IO);
    }
    const uint32_t checksumLength = section.flag != 0 ? section.length : section.word1;
    while (in.remaining_bytes() > 0) {
        ScriptedReply reply;
        switch (in.ConsumeIntegralInRange<int>(0, 8)) {
            case 0:
                reply.bytes = "OK";
                break;
            case 1:
                reply.bytes = "ok";
                break;
            case 2:
                reply.bytes = std::to_string(WriterChecksum(section, checksumLength));
                break;
            case 3:
                reply.bytes = in.ConsumeBool() ? "ERAS:14" : "PROG:15";
                break;
            case 4:
                reply.status = in.ConsumeBool() ? VI_ERROR_TMO : VI_ERROR_IO;
                break;
            case 5:
                reply.bytes.assign(255 + in.ConsumeIntegralInRange<int>(0, 10), 'O');
                break;
            case 6:
                reply.bytes = "OK\r\n";
                break;
            default:
                reply.bytes = in.ConsumeRandomLengthString(300);
                break;
        }
        instrument.replies.push_back(std::move(reply));
    }

    RecordingWindow window;
    InstrumentLink link(instrument, window, "0x0d3f", "0x1141");
    window.devices.push_back("USB0::0x0D3F::0x1141::TW00000001::INSTR");
    window.selected = 0;
    FUZZ_CHECK(link.ConnectDevice() == kOk);

    const int code = WriteSection(link, window, section, region);
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

    const auto& calls = instrument.calls;
    if (code == kErrFileTruncated) {
        // A section that cannot be sent whole is refused before the writer hears of it.
        FUZZ_CHECK(calls.empty());
        return 0;
    }
    FUZZ_CHECK(!calls.empty());
    const ScriptedCall& last = calls.back();
    if (code == kOk) {
        // Success only on the writer's final "OK" line, read whole.
        FUZZ_CHECK(!last.write && last.status == VI_SUCCESS && BeginsWithOk(last.bytes));
    } else {
        // Nothing is sent after the step that failed: the last call is that step's read,
        // or the write that failed.
        FUZZ_CHECK(!last.write || last.status != VI_SUCCESS);
    }
    for (const ScriptedCall& call : calls) {
        if (call.write) FUZZ_CHECK(call.bytes.size() <= 1024);
    }
    // Every failed call ends the transfer at once.
    for (size_t i = 0; i + 1 < calls.size(); ++i) FUZZ_CHECK(calls[i].status == VI_SUCCESS);
    if (code != kErrIo) FUZZ_CHECK(last.status == VI_SUCCESS);
    return 0;
}
