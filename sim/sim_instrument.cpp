#include "sim_instrument.h"

#include <cstdio>

#include "base/ascii.h"

namespace {

const char kIdentify[] = "*IDN?\n";
const char kSwitchToWriter[] = "SYST:UPDATE COUNTER\n";

// Printable form of a command for a violation message.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text.substr(0, 40)) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    if (text.size() > 40) out += "...";
    return out + "\"";
}

}  // namespace

SimInstrument::SimInstrument(SimInstrumentSpec setup, const SimScenario& scenario)
    : setup_(std::move(setup)),
      scenario_(scenario),
      writer_(flash_, scenario, setup_.resource,
              SimWriter::Io{&replies_, &violations_, [this] { SaveFlash(); }}),
      writerMode_(setup_.mode == "writer") {
    std::string error;
    if (!setup_.flashFile.empty() && !flash_.Load(setup_.flashFile, error))
        violations_.push_back(error);
}

void SimInstrument::PowerCycle() {
    writerMode_ = false;
    switchPending_ = false;
    replies_.clear();
    writer_.Restart();
}

std::string SimInstrument::RevisionField() const {
    std::string field = setup_.revision;
    for (const SimRegionLayout& region : kSimRegions) {
        // A flashed section carries its revision at its offset 12.
        uint32_t at = region.firstSector * kSimSectorSize + 12;
        const uint8_t* bytes = flash_.data() + at;
        bool usable = true;
        for (size_t i = 0; i < region.width && usable; ++i)
            usable = bytes[i] > 0x20 && bytes[i] < 0x7F && bytes[i] != ',';
        if (!usable) continue;
        if (field.size() < region.position + region.width)
            field.resize(region.position + region.width, '.');
        field.replace(region.position, region.width, reinterpret_cast<const char*>(bytes),
                      region.width);
    }
    return field;
}

std::string SimInstrument::IdentificationReply() const {
    if (!setup_.idnReply.empty()) return setup_.idnReply;
    // The writer does not name the maker: that is how the program tells the two apart.
    return (writerMode_ ? std::string("WRITER") : setup_.maker) + "," + setup_.model + "," +
           serial() + "," + RevisionField() + "\n";
}

void SimInstrument::Open() {
    replies_.clear();
    if (switchPending_) {
        switchPending_ = false;
        writerMode_ = true;
        writer_.Restart();
    }
}

void SimInstrument::CheckPause(uint64_t nowMs) {
    if (!scenario_.timingChecks || pauseNeededMs_ == 0) return;
    uint64_t waited = nowMs - lastWriteMs_;
    if (waited < pauseNeededMs_)
        violations_.push_back("only " + std::to_string(waited) + " ms after the " + lastWrite_ +
                              " (" + std::to_string(pauseNeededMs_) + " ms needed)");
    pauseNeededMs_ = 0;
}

void SimInstrument::Receive(const uint8_t* bytes, size_t count, uint64_t nowMs) {
    lastWriteMs_ = nowMs;
    pauseNeededMs_ = 0;
    if (!writerMode_) {
        ReceiveText(std::string(reinterpret_cast<const char*>(bytes), count));
        return;
    }
    if (writer_.ExpectsFrame()) {
        // Between frames the writer still knows the two text commands; switching again
        // changes nothing.
        std::string text(reinterpret_cast<const char*>(bytes), count);
        if (text == kIdentify) {
            replies_.push_back(IdentificationReply());
            return;
        }
        if (text == kSwitchToWriter) return;
    }
    writer_.Receive(bytes, count);
    pauseNeededMs_ = writer_.PauseNeededMs();
    lastWrite_ = writer_.LastWriteName();
}

void SimInstrument::ReceiveText(const std::string& text) {
    if (text == kIdentify) {
        replies_.push_back(IdentificationReply());
    } else if (text == kSwitchToWriter) {
        switchPending_ = true;
    } else if (!text.empty() && static_cast<unsigned char>(text[0]) == 0xAB) {
        violations_.push_back("writer frame sent to the normal firmware");
    } else {
        violations_.push_back("normal firmware: unknown command " + Quoted(text));
    }
}

std::string SimInstrument::TakeReply(size_t max, bool* rest) {
    std::string& front = replies_.front();
    std::string out = front.substr(0, max);
    *rest = front.size() > max;
    if (*rest)
        front.erase(0, max);
    else
        replies_.pop_front();
    if (setup_.lowerCaseReplies) out = LowerCaseAscii(out);
    return out;
}

void SimInstrument::DropReply() {
    if (!replies_.empty()) replies_.pop_front();
}

void SimInstrument::SaveFlash() {
    std::string error;
    if (!setup_.flashFile.empty() && !flash_.Save(setup_.flashFile, error))
        violations_.push_back(error);
}
