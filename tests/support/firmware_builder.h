#pragma once
// Builds firmware revision files in memory for tests and benchmarks: header lines, binary
// sections with chosen fields and generated payloads, and a ready-made valid K4417F file.
// Standard library only; bytes are held in a std::string.
//
//   FirmwareBuilder fw = ValidK4417F({0x100, 16, 16, 65520, 16, 16});
//   fw.Section(1).flag = 0;           // change a section, then ...
//   std::string bytes = fw.Bytes();   // ... render the file
//   TempFile file(bytes);             // or on disk, removed again at the end of the scope

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One binary section. On disk it is 20 fixed bytes, the payload, the id and the flag:
// payload size + kSectionOverhead bytes in all, with a length field of payload size + 16.
struct TestSection {
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
constexpr std::array<uint8_t, 6> kK4417FIds = {1, 4, 6, 14, 8, 30};

// `size` deterministic pseudo-random bytes: the same seed always gives the same bytes.
std::string GeneratePayload(uint32_t size, uint32_t seed);
// The section exactly as stored in a file.
std::string SectionBytes(const TestSection& section);

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
    FirmwareBuilder& AddSection(const TestSection& section);
    // Appends raw bytes (e.g. trailing garbage).
    FirmwareBuilder& Raw(const std::string& bytes);
    // Cuts `count` bytes off the end of the rendered file.
    FirmwareBuilder& DropTail(size_t count);

    // The index-th section added (0-based), to change before rendering.
    TestSection& Section(size_t index);
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
    std::vector<TestSection> sections_;
    std::string lineEnd_ = "\n";
    size_t dropTail_ = 0;
};

struct K4417FFile {
    std::string imageRev = "2.10.0";
    std::string modelName = "K4417F";
    std::string revsNotSupport = "1.0.0";
    std::string description = "Sample firmware for tests";
    std::string utilityRev = "1.0.6";
    bool crlf = false;
    std::array<uint32_t, 6> payloadSizes = {64, 48, 48, 256, 128, 32};
    std::array<std::string, 6> revisions = {"ZZZZ", "ZZZZ", "ZZZZ", "ZZZZ", "ZZZZ", "ZZZZ"};
};

// A valid six-section K4417F file (ids 1, 4, 6, 14, 8, 30 in this order, flags 1). An
// empty `payloadSizes` keeps the small defaults; otherwise give all six.
FirmwareBuilder ValidK4417F(const std::vector<uint32_t>& payloadSizes = {});
FirmwareBuilder ValidK4417F(const K4417FFile& file);

// A file on disk holding `bytes`, removed when the object goes out of scope.
class TempFile {
  public:
    explicit TempFile(const std::string& bytes, const std::string& suffix = ".fw");
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Writes `bytes` to `path`; false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
