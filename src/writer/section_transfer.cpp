#include "writer/section_transfer.h"

#include <algorithm>
#include <cstring>

#include "base/ascii.h"
#include "base/big_endian.h"
#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "instrument/instrument_link.h"
#include "instrument/update_observer.h"
#include "writer/writer_frame.h"

namespace {

// The checksum covers the section from its length field on.
constexpr uint32_t kChecksumStart = 8;
// A section with id 0 is sent without its last eight bytes.
constexpr uint32_t kIdZeroTrim = 8;

// A writer that never sends its final line would keep the program reading for ever. The
// writer sends a few lines per 64 KiB sector; this allows one line per 256 bytes sent,
// and a thousand more, before the flash phase is given up as an I/O failure.
constexpr uint32_t kFlashLinesBase = 1024;
constexpr uint32_t kBytesPerFlashLine = 256;

uint64_t RoundUpTo4(uint64_t n) {
    return (n + 3) & ~uint64_t{3};
}

// Letter case ignored; a line that ends sooner does not match.
bool BeginsWith(const char* line, const char* prefix, size_t count) {
    return StartsWithIgnoringCase(line, prefix, count);
}
bool BeginsWith(const char* line, const char* prefix) {
    return BeginsWith(line, prefix, std::strlen(prefix));
}

// The steps of one section's transfer, counted as they are reported.
class StepCounter {
  public:
    StepCounter(UpdateObserver& observer, uint32_t total) : observer_(observer), total_(total) {
        observer_.Progress(0, total_);
    }
    void Step() { observer_.Progress(++done_, total_); }

  private:
    UpdateObserver& observer_;
    uint32_t total_;
    uint32_t done_ = 0;
};

struct TransferPlan {
    uint32_t checksumLength;  // K
    uint32_t transferLength;  // n
};

// Works out K and n, refusing a section whose checksum range or transfer would reach past
// the bytes it holds. The parser does not bound `length` from below, so a damaged file can
// carry one that makes K - 8 wrap round to nearly 4 GiB.
bool PlanTransfer(const ImageSection& section, TransferPlan& plan) {
    if (!section.data) return false;
    const uint64_t held = uint64_t{section.length} + 6;
    const uint32_t k = section.flag != 0 ? section.length : section.word1;
    if (k < kChecksumStart || RoundUpTo4(k) > held) return false;
    if (section.bytesRead > held) return false;
    if (section.id == 0 && section.bytesRead < kIdZeroTrim) return false;
    plan.checksumLength = k;
    plan.transferLength = section.id == 0 ? section.bytesRead - kIdZeroTrim : section.bytesRead;
    return true;
}

// Sends the section bytes in blocks, a step after each sector and after the last block.
int SendSectionBytes(InstrumentLink& link, StepCounter& steps, const uint8_t* data, uint32_t n,
                     uint32_t sectorSize) {
    uint32_t sent = 0;
    while (sent < n) {
        const uint32_t k = std::min(kDataBlockSize, n - sent);
        if (link.WriteDevice(data + sent, k) != VI_SUCCESS) return kErrIo;
        link.Pause(kDataPauseMs);
        sent += k;
        // A zero sector size never comes from the model table; treat it as one sector.
        const bool sectorDone = sectorSize != 0 && sent % sectorSize == 0;
        if (sectorDone || sent == n) steps.Step();
    }
    return kOk;
}

// Reads the writer's lines after the flash write until one of them ends the section.
int FollowFlashWrite(InstrumentLink& link, UpdateObserver& observer, StepCounter& steps,
                     uint32_t n) {
    const uint32_t maxLines = kFlashLinesBase + n / kBytesPerFlashLine;
    for (uint32_t lines = 0; lines < maxLines; ++lines) {
        char line[kReplyMax + 1] = {};
        uint32_t received = 0;
        if (link.ReadDevice(line, kReplyMax, &received) != VI_SUCCESS) return kErrIo;

        if (BeginsWith(line, "ERAS:") || BeginsWith(line, "PROG:") || BeginsWith(line, "RTNOK") ||
            BeginsWith(line, "RtnNg")) {
            steps.Step();
            continue;
        }
        // Only the first 23 characters, up to "UPDA", decide this verdict.
        if (BeginsWith(line, "DATA IS THE LATEST UPDATE", 23)) return kErrLatestUpdate;
        if (BeginsWith(line, "ERASE NG")) return kErrEraseNg;
        if (BeginsWith(line, "PROGRAM NG")) return kErrProgramNg;
        if (BeginsWith(line, "OK")) {
            observer.Log("OK", LogEnd::kCompleted);
            return kOk;
        }
        // Anything else, empty lines included, is chatter.
    }
    return kErrIo;
}

}  // namespace

uint32_t ComputeChecksum(const uint8_t* p, uint32_t n) {
    const uint64_t words = (uint64_t{n} + 3) / 4;
    // Four running sums let the additions overlap; with wrapping addition their order
    // does not matter. This keeps the sum near memory speed.
    uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    uint64_t i = 0;
    for (; i + 4 <= words; i += 4) {
        const uint8_t* w = p + 4 * i;
        s0 += LoadBigEndian32(w);
        s1 += LoadBigEndian32(w + 4);
        s2 += LoadBigEndian32(w + 8);
        s3 += LoadBigEndian32(w + 12);
    }
    for (; i < words; ++i) s0 += LoadBigEndian32(p + 4 * i);
    return s0 + s1 + s2 + s3;
}

int WriteSection(InstrumentLink& link, UpdateObserver& observer, const ImageSection& section,
                 const SectionSpec& region) {
    TransferPlan plan;
    if (!PlanTransfer(section, plan)) return kErrFileTruncated;
    const uint32_t n = plan.transferLength;
    const uint32_t sectorSize = region.sectorSize;
    const uint32_t sectors =
        sectorSize == 0 ? (n != 0 ? 1 : 0) : n / sectorSize + (n % sectorSize != 0 ? 1 : 0);

    StepCounter steps(observer, 3u * sectors + 1u);

    int c = WriterReset(link);
    if (c != kOk) return c;

    observer.Log("    Loading ... ", LogEnd::kContinued);
    c = WriterLoad(link, n);
    if (c != kOk) return c;
    const uint32_t localChecksum =
        ComputeChecksum(section.data.get() + kChecksumStart, plan.checksumLength - kChecksumStart);
    c = SendSectionBytes(link, steps, section.data.get(), n, sectorSize);
    if (c != kOk) return c;
    c = WriterEndLoad(link);
    if (c != kOk) return c;
    observer.Log("OK", LogEnd::kCompleted);

    c = WriterSelectSection(link, section.id);
    if (c != kOk) return c;
    c = WriterChecksumLength(link, plan.checksumLength);
    if (c != kOk) return c;
    observer.Log("    Check Sum ... ", LogEnd::kContinued);
    uint32_t deviceChecksum = 0;
    c = WriterQueryChecksum(link, &deviceChecksum);
    if (c != kOk) return c;
    if (deviceChecksum != localChecksum) {
        observer.Log("Check Sum Error", LogEnd::kContinued);
        return kErrNotComplete;
    }
    observer.Log("OK", LogEnd::kCompleted);

    c = WriterFlashCheck(link);
    if (c != kOk) return c;
    c = WriterFlashWrite(link);
    if (c != kOk) return c;
    observer.Log("    Write to flash ... ", LogEnd::kContinued);
    return FollowFlashWrite(link, observer, steps, n);
}
