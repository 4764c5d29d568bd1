#include "writer/writer_frame.h"

#include <cstdio>
#include <cstring>

#include "base/result_code.h"
#include "instrument/instrument_link.h"

// The reset guard is a word the writer recognises even before it has synchronised on the
// binary stream; the command guard is deliberately not text, so that stray ASCII on the
// line can never pass for a command frame.
const uint8_t WGUARD_RESET[6] = {'W', 'R', 'R', 'S', 'E', 'T'};
const uint8_t WGUARD_COMMAND[6] = {0x5A, 0xA5, 0x00, 0xFF, 0xC3, 0x3C};

namespace {

// The count field covers the command byte and the guard, plus any payload.
constexpr uint32_t kFrameOverhead = 7;
constexpr uint32_t kChecksumLengthPayload = 12;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one reply and accepts it only when it is the text "OK". Every command but the
// reset also insists on exactly the two bytes, so "OK\r\n" or "OKAY" are refused there.
int ReadOkReply(InstrumentLink& link, int badReplyCode, bool exactlyTwoBytes) {
    char reply[kReplyMax + 1] = {};
    uint32_t received = 0;
    if (link.ReadDevice(reply, kReplyMax, &received) != VI_SUCCESS) return kErrIo;
    if (exactlyTwoBytes && received != 2) return badReplyCode;
    if (std::strcmp(reply, "OK") != 0) return badReplyCode;
    return kOk;
}

// The writer answers the checksum query with decimal text. Digits accumulate modulo 2^32
// and a leading minus negates modulo 2^32; text without digits reads as 0.
uint32_t ChecksumFromReply(const char* text) {
    while (IsSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    uint32_t value = 0;
    while (*text >= '0' && *text <= '9') value = value * 10u + static_cast<uint32_t>(*text++ - '0');
    return negative ? 0u - value : value;
}

// A frame followed by one reply that must be exactly "OK".
int CommandWithOkReply(InstrumentLink& link, uint8_t command, int badReplyCode) {
    if (SendFrame(link, kFrameStart, kFrameOverhead, command, WGUARD_COMMAND) != 0) return kErrIo;
    return ReadOkReply(link, badReplyCode, true);
}

}  // namespace

WriterFrame BuildFrame(uint8_t start, uint32_t count, uint8_t command, const uint8_t guard[6]) {
    WriterFrame frame{};
    frame[0] = start;
    frame[1] = static_cast<uint8_t>(count >> 24);
    frame[2] = static_cast<uint8_t>(count >> 16);
    frame[3] = static_cast<uint8_t>(count >> 8);
    frame[4] = static_cast<uint8_t>(count);
    frame[5] = command;
    std::memcpy(&frame[6], guard, 6);
    return frame;
}

ViStatus SendFrame(InstrumentLink& link, uint8_t start, uint32_t count, uint8_t command,
                   const uint8_t guard[6]) {
    const WriterFrame frame = BuildFrame(start, count, command, guard);
    const ViStatus status = link.WriteDevice(frame.data(), static_cast<uint32_t>(frame.size()));
    if (status != VI_SUCCESS) return status;
    // The writer needs this long to take in a frame before it can accept anything else.
    link.Pause(kFramePauseMs);
    return VI_SUCCESS;
}

int WriterReset(InstrumentLink& link) {
    if (SendFrame(link, kFrameStart, kFrameOverhead, WCMD_RESET, WGUARD_RESET) != 0) return kErrIo;
    // The reset answer is judged by its text alone; its byte count is not checked.
    return ReadOkReply(link, kErrResetReply, false);
}

int WriterLoad(InstrumentLink& link, uint32_t n) {
    if (SendFrame(link, kFrameStart, kFrameOverhead + n, WCMD_LOAD, WGUARD_COMMAND) != 0)
        return kErrIo;
    return kOk;
}

int WriterEndLoad(InstrumentLink& link) {
    // The writer's verdict on the loaded bytes comes first; without it, no end-load frame.
    const int loaded = ReadOkReply(link, kErrEndLoadReply, true);
    if (loaded != kOk) return loaded;
    return CommandWithOkReply(link, WCMD_END_LOAD, kErrEndLoadReply);
}

int WriterSelectSection(InstrumentLink& link, uint8_t id) {
    if (SendFrame(link, kFrameStart, kFrameOverhead + 1, WCMD_SELECT_SECTION, WGUARD_COMMAND) != 0)
        return kErrIo;
    if (link.WriteDevice(&id, 1) != VI_SUCCESS) return kErrIo;
    return ReadOkReply(link, kErrSelectReply, true);
}

int WriterChecksumLength(InstrumentLink& link, uint32_t length) {
    // "%u" digits, a terminator and zero fill: 10 digits at most, so it always fits.
    char payload[kChecksumLengthPayload] = {};
    std::snprintf(payload, sizeof payload, "%u", static_cast<unsigned>(length));
    if (SendFrame(link, kFrameStart, kFrameOverhead + kChecksumLengthPayload, WCMD_CHECKSUM_LENGTH,
                  WGUARD_COMMAND) != 0)
        return kErrIo;
    if (link.WriteDevice(payload, kChecksumLengthPayload) != VI_SUCCESS) return kErrIo;
    return ReadOkReply(link, kErrChecksumLengthReply, true);
}

int WriterQueryChecksum(InstrumentLink& link, uint32_t* checksum) {
    if (SendFrame(link, kFrameStart, kFrameOverhead, WCMD_QUERY_CHECKSUM, WGUARD_COMMAND) != 0)
        return kErrIo;
    char reply[kReplyMax + 1] = {};
    uint32_t received = 0;
    if (link.ReadDevice(reply, kReplyMax, &received) != VI_SUCCESS) return kErrIo;
    if (received == 0) return kErrChecksumEmpty;
    *checksum = ChecksumFromReply(reply);
    return kOk;
}

int WriterFlashCheck(InstrumentLink& link) {
    return CommandWithOkReply(link, WCMD_FLASH_CHECK, kErrFlashCheckReply);
}

int WriterFlashWrite(InstrumentLink& link) {
    if (SendFrame(link, kFrameStart, kFrameOverhead, WCMD_FLASH_WRITE, WGUARD_COMMAND) != 0)
        return kErrIo;
    return kOk;
}
