#include "sim_writer.h"

#include <algorithm>
#include <cstdio>

#include "base/ascii.h"

namespace {

constexpr uint8_t kStart = 0xAB;
constexpr uint32_t kMaxDataWrite = 1024;
constexpr uint32_t kFramePauseMs = 10;
constexpr uint32_t kDataPauseMs = 25;

struct Command {
    uint8_t code;
    const char* name;
    uint32_t count;  // 0: any count of at least 7 (the load frame)
};
constexpr Command kCommands[] = {
    {0x0A, "reset", 7},
    {0x0C, "load", 0},
    {0x0D, "end-load", 7},
    {0x14, "select-section", 8},
    {0x07, "checksum-length", 19},
    {0x08, "query-checksum", 7},
    {0x15, "flash-check", 7},
    {0x03, "flash-write", 7},
};

const Command* FindCommand(uint8_t code) {
    for (const Command& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

bool StartsWithOk(const std::string& text) {
    return StartsWithIgnoringCase(text, "OK");
}

}  // namespace

SimWriter::SimWriter(SimFlash& flash, const SimScenario& scenario, std::string resource, Io io)
    : flash_(flash), scenario_(scenario), resource_(std::move(resource)), io_(std::move(io)) {}

void SimWriter::Restart() {
    stage_ = Stage::kIdle;
    expect_ = Expect::kFrame;
    loaded_.clear();
    loaded_.shrink_to_fit();
    loadTotal_ = 0;
    pauseMs_ = 0;
}

void SimWriter::Receive(const uint8_t* bytes, size_t count) {
    switch (expect_) {
        case Expect::kFrame:
            ReceiveFrame(bytes, count);
            break;
        case Expect::kData:
            ReceiveData(bytes, count);
            break;
        case Expect::kSelectPayload:
            ReceiveSelectPayload(bytes, count);
            break;
        case Expect::kLengthPayload:
            ReceiveLengthPayload(bytes, count);
            break;
    }
}

void SimWriter::ReceiveFrame(const uint8_t* bytes, size_t count) {
    pauseMs_ = 0;
    lastWrite_ = "unreadable frame";
    if (count != 12) {
        Violation("frame write of " + std::to_string(count) + " bytes (a frame is 12)");
        return;
    }
    if (bytes[0] != kStart) {
        Violation("bad start byte " + Hex(bytes[0]) + " (0xAB expected)");
        return;
    }
    uint32_t frameCount = (uint32_t{bytes[1]} << 24) | (uint32_t{bytes[2]} << 16) |
                          (uint32_t{bytes[3]} << 8) | bytes[4];
    const Command* command = FindCommand(bytes[5]);
    if (!command) {
        Violation("unknown command " + Hex(bytes[5]));
        return;
    }
    lastWrite_ = std::string(command->name) + " frame";
    pauseMs_ = kFramePauseMs;
    bool countOk = command->count ? frameCount == command->count : frameCount >= 7;
    if (!countOk) {
        Violation("count " + std::to_string(frameCount) + " does not match the " + lastWrite_ +
                  " (" + (command->count ? std::to_string(command->count) : "7 + n") +
                  " expected)");
        return;
    }
    CheckGuard(command->code, bytes + 6);
    if (!io_.replies->empty())
        Violation(lastWrite_ + " sent while the reply \"" + io_.replies->front() +
                  "\" was still unread");

    switch (command->code) {
        case 0x0A:
            ++section_;
            stage_ = Stage::kReset;
            loaded_.clear();
            Reply("reset", "OK");
            break;
        case 0x0C:
            RequireStage(Stage::kReset, "load frame");
            loadTotal_ = frameCount - 7;
            loaded_.clear();
            loaded_.reserve(loadTotal_ <= kSimFlashSize ? loadTotal_ : 0);
            if (loadTotal_ == 0) {
                stage_ = Stage::kLoaded;
                Reply("end_load_data", "OK");
            } else {
                stage_ = Stage::kLoading;
                expect_ = Expect::kData;
            }
            break;
        case 0x0D:
            if (stage_ == Stage::kLoading)
                Violation("end-load frame before all " + std::to_string(loadTotal_) +
                          " section bytes arrived (" + std::to_string(loaded_.size()) +
                          " received)");
            else
                RequireStage(Stage::kLoaded, "end-load frame");
            stage_ = Stage::kEndLoaded;
            Reply("end_load", "OK");
            break;
        case 0x14:
            RequireStage(Stage::kEndLoaded, "select-section frame");
            expect_ = Expect::kSelectPayload;
            break;
        case 0x07:
            RequireStage(Stage::kSelected, "checksum-length frame");
            expect_ = Expect::kLengthPayload;
            break;
        case 0x08:
            RequireStage(Stage::kLengthSet, "query-checksum frame");
            stage_ = Stage::kQueried;
            Reply("checksum", std::to_string(Checksum(checksumLength_)));
            break;
        case 0x15:
            RequireStage(Stage::kQueried, "flash-check frame");
            stage_ = Stage::kChecked;
            Reply("flash_check", "OK");
            break;
        case 0x03:
            RequireStage(Stage::kChecked, "flash-write frame");
            stage_ = Stage::kIdle;
            FlashWrite();
            break;
    }
}

bool SimWriter::CheckGuard(uint8_t command, const uint8_t* guard) {
    std::array<uint8_t, 6> seen;
    std::copy(guard, guard + 6, seen.begin());
    bool reset = command == 0x0A;
    if (reset) {
        for (uint8_t c : seen) {
            if (c < 0x20 || c > 0x7E) {
                Violation("reset guard is not six printable ASCII characters");
                return false;
            }
        }
    }
    auto& first = reset ? resetGuard_ : commandGuard_;
    if (!first) {
        first = seen;
        return true;
    }
    if (*first != seen) {
        Violation(lastWrite_ + " carries a guard that differs from the first " +
                  (reset ? "reset" : "command") + " guard");
        return false;
    }
    return true;
}

void SimWriter::RequireStage(Stage wanted, const char* frame) {
    static const char* const kAfter[] = {"nothing",
                                         "the reset frame",
                                         "the section bytes",
                                         "the section bytes",
                                         "the end-load frame",
                                         "the section id",
                                         "the checksum length",
                                         "the checksum query",
                                         "the flash check"};
    if (stage_ != wanted)
        Violation(std::string(frame) + " out of order (expected after " +
                  kAfter[static_cast<int>(wanted)] + ", came after " +
                  kAfter[static_cast<int>(stage_)] + ")");
}

void SimWriter::ReceiveData(const uint8_t* bytes, size_t count) {
    // A real writer would swallow a frame sent too early as data; one carrying the command
    // guard is taken as the frame it is, so that the early frame shows as what it is.
    if (count == 12 && bytes[0] == kStart && commandGuard_ &&
        std::equal(commandGuard_->begin(), commandGuard_->end(), bytes + 6)) {
        expect_ = Expect::kFrame;
        ReceiveFrame(bytes, count);
        return;
    }
    lastWrite_ = "section data write";
    pauseMs_ = kDataPauseMs;
    if (count > kMaxDataWrite)
        Violation("section data write of " + std::to_string(count) + " bytes (at most 1024)");
    size_t room = loadTotal_ - loaded_.size();
    if (count > room) {
        Violation("section data write goes " + std::to_string(count - room) +
                  " bytes beyond the announced " + std::to_string(loadTotal_));
        count = room;
    }
    loaded_.insert(loaded_.end(), bytes, bytes + count);
    if (loaded_.size() == loadTotal_) {
        stage_ = Stage::kLoaded;
        expect_ = Expect::kFrame;
        Reply("end_load_data", "OK");
    }
}

void SimWriter::ReceiveSelectPayload(const uint8_t* bytes, size_t count) {
    lastWrite_ = "section id";
    pauseMs_ = 0;
    expect_ = Expect::kFrame;
    if (count != 1)
        Violation("section id payload of " + std::to_string(count) + " bytes (1 expected)");
    sectionId_ = count ? bytes[0] : 0;
    stage_ = Stage::kSelected;
    Reply("select", "OK");
}

void SimWriter::ReceiveLengthPayload(const uint8_t* bytes, size_t count) {
    lastWrite_ = "checksum length";
    pauseMs_ = 0;
    expect_ = Expect::kFrame;
    stage_ = Stage::kLengthSet;
    // Decimal digits, a NUL, then NULs up to the twelfth byte.
    bool wellFormed = count == 12;
    size_t digits = 0;
    uint64_t value = 0;
    while (digits < count && std::isdigit(bytes[digits])) {
        value = value * 10 + (bytes[digits] - '0');
        ++digits;
    }
    wellFormed = wellFormed && digits > 0 && digits <= 10 && value <= UINT32_MAX &&
                 (digits == 1 || bytes[0] != '0');
    for (size_t i = digits; i < count && wellFormed; ++i) wellFormed = bytes[i] == 0;
    if (count != 12)
        Violation("checksum length payload of " + std::to_string(count) + " bytes (12 expected)");
    else if (!wellFormed)
        Violation("checksum length payload is not decimal digits followed by NUL bytes");
    checksumLength_ = static_cast<uint32_t>(value);
    Reply("checksum_length", "OK");
}

uint32_t SimWriter::Checksum(uint32_t k) const {
    if (k < 8) return 0;
    uint64_t limit = (uint64_t{k} - 8 + 3) / 4 * 4;
    uint32_t sum = 0;
    for (uint64_t offset = 0; offset < limit; offset += 4) {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            uint64_t at = 8 + offset + i;
            word = (word << 8) | (at < loaded_.size() ? loaded_[at] : 0);
        }
        sum += word;
    }
    return sum;
}

void SimWriter::FlashWrite() {
    uint64_t offset = uint64_t{sectionId_} * kSimSectorSize;
    if (offset + loaded_.size() > kSimFlashSize) {
        Violation("section of " + std::to_string(loaded_.size()) + " bytes at sector " +
                  std::to_string(sectionId_) + " does not fit the flash");
        Reply("final", "ERASE NG");
        return;
    }
    if (!loaded_.empty() &&
        flash_.Holds(static_cast<uint32_t>(offset), loaded_.data(), loaded_.size())) {
        Reply("final", "DATA IS THE LATEST UPDATE");
        return;
    }
    uint32_t sectors =
        static_cast<uint32_t>((loaded_.size() + kSimSectorSize - 1) / kSimSectorSize);
    std::vector<std::string> lines;
    if (scenario_.progressLines < 0) {
        for (uint32_t s = 0; s < sectors; ++s)
            lines.push_back("ERAS:" + std::to_string(sectionId_ + s));
        for (uint32_t s = 0; s < sectors; ++s)
            lines.push_back("PROG:" + std::to_string(sectionId_ + s));
    } else {
        int erase = (scenario_.progressLines + 1) / 2;
        uint32_t cycle = sectors ? sectors : 1;
        for (int i = 0; i < scenario_.progressLines; ++i) {
            bool erasing = i < erase;
            uint32_t s = sectionId_ + static_cast<uint32_t>(erasing ? i : i - erase) % cycle;
            lines.push_back((erasing ? "ERAS:" : "PROG:") + std::to_string(s));
        }
    }
    for (std::string& line : lines) io_.replies->push_back(std::move(line));

    const SimFault* fault = FaultAt("final");
    if (fault && fault->action == "silent") return;
    std::string final = fault ? fault->text : "OK";
    if (StartsWithOk(final)) {
        for (uint32_t s = 0; s < sectors; ++s) flash_.EraseSector(sectionId_ + s);
        flash_.Program(static_cast<uint32_t>(offset), loaded_.data(), loaded_.size());
        if (io_.flashWritten) io_.flashWritten();
    }
    io_.replies->push_back(std::move(final));
}

void SimWriter::Reply(const char* step, std::string text) {
    const SimFault* fault = FaultAt(step);
    if (fault && fault->action == "silent") return;
    io_.replies->push_back(fault ? fault->text : std::move(text));
}

const SimFault* SimWriter::FaultAt(const char* step) const {
    for (const SimFault& fault : scenario_.faults) {
        if (fault.callLevel() || fault.section != section_ || fault.step != step) continue;
        if (!fault.resource.empty() && fault.resource != resource_) continue;
        return &fault;
    }
    return nullptr;
}

void SimWriter::Violation(std::string text) {
    io_.violations->push_back(std::move(text));
}
