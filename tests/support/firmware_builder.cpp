#include "firmware_builder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

void PutBigEndian(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

}  // namespace

uint32_t TestSection::Length() const {
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

std::string SectionBytes(const TestSection& s) {
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

FirmwareBuilder& FirmwareBuilder::AddSection(const TestSection& section) {
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

TestSection& FirmwareBuilder::Section(size_t index) {
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

FirmwareBuilder ValidK4417F(const std::vector<uint32_t>& payloadSizes) {
    K4417FFile file;
    for (size_t i = 0; i < payloadSizes.size() && i < file.payloadSizes.size(); ++i)
        file.payloadSizes[i] = payloadSizes[i];
    return ValidK4417F(file);
}

FirmwareBuilder ValidK4417F(const K4417FFile& file) {
    FirmwareBuilder fw;
    fw.CrLf(file.crlf)
        .Line("; K4417F firmware revision file")
        .Header("ImageRev", file.imageRev)
        .Header("ModelName", file.modelName)
        .Header("RevsNotSupport", file.revsNotSupport)
        .Header("UpdatedDescription", file.description)
        .Header("UtilityRev", file.utilityRev)
        .FileStart();
    for (size_t i = 0; i < kK4417FIds.size(); ++i) {
        TestSection s;
        s.id = kK4417FIds[i];
        s.flag = 1;
        s.revision = file.revisions[i];
        s.payloadSize = file.payloadSizes[i];
        s.seed = static_cast<uint32_t>(i + 1);
        fw.AddSection(s);
    }
    return fw;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

TempFile::TempFile(const std::string& bytes, const std::string& suffix) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = ".";
    std::string name =
        "fwtest_" + std::to_string(stamp) + "_" + std::to_string(counter.fetch_add(1)) + suffix;
    path_ = (dir / name).string();
    WriteFileBytes(path_, bytes);
}

TempFile::~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}
