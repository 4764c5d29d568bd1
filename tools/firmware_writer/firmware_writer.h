#pragma once
// Writes firmware revision files: header lines, binary sections with chosen fields and
// payloads, and raw bytes, rendered in the order added into a std::string. fwtool pack,
// uidriver and the tests all build their files with it.
//
//   FirmwareBuilder fw;
//   fw.Header("ImageRev", "2.10.0").Header("ModelName", "K4417F").FileStart();
//   FileSection s;  s.id = 14;  s.payload = bytes;
//   fw.AddSection(s);
//   WriteFileBytes(path, fw.Bytes());

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One binary section. On disk it is 20 fixed bytes, the payload, the id and the flag:
// payload size + kSectionOverhead bytes in all, with a length field of payload size + 16.
struct FileSection {
    uint8_t id = 1;
    uint8_t flag = 1;
    std::string revision = "ZZZZ";  // first four bytes used, NUL-padded; sorts after any
                                    // revision an instrument reports, so updates go ahead
    uint32_t payloadSize = 16;
    uint32_t seed = 1;                   // payload generator seed (ignored when `payload` is set)
    std::optional<std::string> payload;  // explicit payload bytes
    uint32_t word0 = 0x4B344631u;        // "K4F1": not interpreted by the utility
    uint32_t word1 = 0;                  // 0: payload size + 16 (the checksum length)
    uint32_t word4 = 0;
    std::optional<uint32_t> lengthField;  // writes this length instead of the true one

    uint32_t Length() const;  // the value written into the length field
};

constexpr size_t kSectionOverhead = 22;  // fixed fields 20 + id 1 + flag 1

// `size` deterministic pseudo-random bytes: the same seed always gives the same bytes.
std::string GeneratePayload(uint32_t size, uint32_t seed);
// The section exactly as stored in a file.
std::string SectionBytes(const FileSection& section);

class FirmwareBuilder {
  public:
    // Header lines end in "\r\n" instead of "\n" (affects lines added afterwards).
    FirmwareBuilder& CrLf(bool on = true);
    // Any header line; the line end is added.
    FirmwareBuilder& Line(const std::string& text);
    // "#" key "=" value.
    FirmwareBuilder& Header(const std::string& key, const std::string& value);
    // "#FileStart" and, unless `lineEnd` is false, its line end.
    FirmwareBuilder& FileStart(bool lineEnd = true);
    // Appends a section after everything added so far.
    FirmwareBuilder& AddSection(const FileSection& section);
    // Appends raw bytes (e.g. trailing garbage).
    FirmwareBuilder& Raw(const std::string& bytes);
    // Cuts `count` bytes off the end of the rendered file.
    FirmwareBuilder& DropTail(size_t count);

    // The index-th section added (0-based), to change before rendering.
    FileSection& Section(size_t index);
    size_t SectionCount() const;

    // The whole file.
    std::string Bytes() const;
    // Offset of the index-th section in Bytes().
    size_t SectionOffset(size_t index) const;

  private:
    struct Piece {
        std::string text;  // header text or raw bytes
        int section = -1;  // index into sections_ when this piece is a section
    };
    std::vector<Piece> pieces_;
    std::vector<FileSection> sections_;
    std::string lineEnd_ = "\n";
    size_t dropTail_ = 0;
};

// Writes `bytes` to `path`; false on failure (the file is closed and checked either way).
bool WriteFileBytes(const std::string& path, const std::string& bytes);
