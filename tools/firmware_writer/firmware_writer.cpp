#include "firmware_writer.h"

#include <cstdio>

#include "firmware/file_stream.h"

namespace {

void PutBigEndian(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

}  // namespace

uint32_t FileSection::Length() const {
    if (lengthField) return *lengthField;
    uint32_t size = payload ? static_cast<uint32_t>(payload->size()) : payloadSize;
    return size + 16;
}

std::string GeneratePayload(uint32_t size, uint32_t seed) {
    // xorshift32: cheap, deterministic and every byte value occurs.
    uint32_t state = seed * 2654435761u + 0x9E3779B9u;
    if (state == 0) state = 1;
    std::string out(size, '\0');
    for (uint32_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out[i] = static_cast<char>(state >> 24);
    }
    return out;
}

std::string SectionBytes(const FileSection& s) {
    std::string payload = s.payload ? *s.payload : GeneratePayload(s.payloadSize, s.seed);
    uint32_t trueLength = static_cast<uint32_t>(payload.size()) + 16;
    std::string out;
    out.reserve(payload.size() + kSectionOverhead);
    PutBigEndian(out, s.word0);
    PutBigEndian(out, s.word1 ? s.word1 : trueLength);
    PutBigEndian(out, s.Length());
    for (size_t i = 0; i < 4; ++i) out.push_back(i < s.revision.size() ? s.revision[i] : '\0');
    PutBigEndian(out, s.word4);
    out += payload;
    out.push_back(static_cast<char>(s.id));
    out.push_back(static_cast<char>(s.flag));
    return out;
}

FirmwareBuilder& FirmwareBuilder::CrLf(bool on) {
    lineEnd_ = on ? "\r\n" : "\n";
    return *this;
}

FirmwareBuilder& FirmwareBuilder::Line(const std::string& text) {
    pieces_.push_back({text + lineEnd_, -1});
    return *this;
}

FirmwareBuilder& FirmwareBuilder::Header(const std::string& key, const std::string& value) {
    return Line("#" + key + "=" + value);
}

FirmwareBuilder& FirmwareBuilder::FileStart(bool lineEnd) {
    pieces_.push_back({lineEnd ? "#FileStart" + lineEnd_ : std::string("#FileStart"), -1});
    return *this;
}

FirmwareBuilder& FirmwareBuilder::AddSection(const FileSection& section) {
    sections_.push_back(section);
    pieces_.push_back({std::string(), static_cast<int>(sections_.size() - 1)});
    return *this;
}

FirmwareBuilder& FirmwareBuilder::Raw(const std::string& bytes) {
    pieces_.push_back({bytes, -1});
    return *this;
}

FirmwareBuilder& FirmwareBuilder::DropTail(size_t count) {
    dropTail_ += count;
    return *this;
}

FileSection& FirmwareBuilder::Section(size_t index) {
    return sections_.at(index);
}

size_t FirmwareBuilder::SectionCount() const {
    return sections_.size();
}

std::string FirmwareBuilder::Bytes() const {
    std::string out;
    for (const Piece& p : pieces_)
        out += p.section < 0 ? p.text : SectionBytes(sections_[p.section]);
    out.resize(out.size() > dropTail_ ? out.size() - dropTail_ : 0);
    return out;
}

size_t FirmwareBuilder::SectionOffset(size_t index) const {
    size_t offset = 0;
    for (const Piece& p : pieces_) {
        if (p.section == static_cast<int>(index)) return offset;
        offset += p.section < 0 ? p.text.size() : SectionBytes(sections_[p.section]).size();
    }
    return offset;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    StdioFile f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return std::fclose(f.release()) == 0 && ok;
}
