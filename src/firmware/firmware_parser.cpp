#include "firmware/firmware_parser.h"

#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "base/big_endian.h"
#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_stream.h"

namespace {

constexpr size_t kLineBuffer = 1024;
constexpr size_t kLineLimit = 1022;
constexpr uint32_t kFixedFieldBytes = 20;
// The writer's checksum starts at the length field (offset 8): a section whose length
// does not even reach past it cannot be transferred.
constexpr uint32_t kMinimumLength = 8;

// The next token of `*cursor` separated by '=' (as strtok with "=" splits): skips leading
// '=' bytes, ends the token at the next '=' and moves `*cursor` past it. nullptr if none.
char* NextToken(char** cursor) {
    char* p = *cursor;
    while (*p == '=') ++p;
    if (!*p) {
        *cursor = p;
        return nullptr;
    }
    char* token = p;
    while (*p && *p != '=') ++p;
    if (*p) *p++ = '\0';
    *cursor = p;
    return token;
}

// The field a header key fills and its size, or nullptr for any other key.
char* FieldFor(FirmwareInfo& info, const char* key, size_t& size, bool& keepCase) {
    keepCase = false;
    if (std::strcmp(key, "ImageRev") == 0) {
        size = sizeof info.ImageRev;
        return info.ImageRev;
    }
    if (std::strcmp(key, "ModelName") == 0) {
        size = sizeof info.ModelName;
        return info.ModelName;
    }
    if (std::strcmp(key, "RevsNotSupport") == 0) {
        size = sizeof info.RevsNotSupport;
        return info.RevsNotSupport;
    }
    if (std::strcmp(key, "UpdatedDescription") == 0) {
        size = sizeof info.UpdatedDescription;
        keepCase = true;
        return info.UpdatedDescription;
    }
    if (std::strcmp(key, "UtilityRev") == 0) {
        size = sizeof info.UtilityRev;
        return info.UtilityRev;
    }
    return nullptr;
}

enum class LineResult { kNext, kFileStart, kTooLong };

LineResult HandleHeaderLine(FirmwareInfo& info, char* line) {
    if (line[0] != '#') return LineResult::kNext;
    char* rest = line + 1;
    char* key = NextToken(&rest);
    if (!key) return LineResult::kNext;
    TrimBlanks(key);
    if (!*key) return LineResult::kNext;
    if (std::strcmp(key, "FileStart") == 0) return LineResult::kFileStart;
    char* value = NextToken(&rest);
    if (!value) return LineResult::kNext;
    TrimBlanks(value);
    size_t size = 0;
    bool keepCase = false;
    char* field = FieldFor(info, key, size, keepCase);
    if (!field) return LineResult::kNext;
    size_t length = std::strlen(value);
    if (length >= size) return LineResult::kTooLong;
    if (!keepCase) UpperCaseAscii(value);
    std::memcpy(field, value, length + 1);
    return LineResult::kNext;
}

constexpr uint64_t kEndUnknown = UINT64_MAX;

// Reads the section front to back: the fixed fields, then the rest after them, so that a
// buffered stream serves it in one pass without seeking back. The id and flag bytes are the
// last two of the section, taken from the buffer once it is read. `fileEnd` spares the seek
// to the end when the caller has measured it.
bool ReadSectionAt(FirmwareStream& stream, uint64_t start, uint64_t fileEnd, ImageSection& node) {
    uint8_t fixed[kFixedFieldBytes];
    if (!stream.Seek(start) || stream.Read(fixed, sizeof fixed) != sizeof fixed) return false;
    node.word0 = LoadBigEndian32(fixed);
    node.word1 = LoadBigEndian32(fixed + 4);
    node.length = LoadBigEndian32(fixed + 8);
    std::memcpy(node.revision, fixed + 12, 4);
    node.revision[4] = '\0';
    node.word4 = LoadBigEndian32(fixed + 16);

    // Refuse a section that cannot lie inside the file before allocating anything: a
    // damaged length field must not make a small file ask for gigabytes.
    const uint64_t total = uint64_t{node.length} + 6;
    if (node.length < kMinimumLength || total > UINT32_MAX) return false;
    if (fileEnd == kEndUnknown) {
        if (!stream.SeekToEnd()) return false;
        fileEnd = stream.Position();
    }
    if (start > fileEnd || total > fileEnd - start) return false;

    node.data = HeapBuffer(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total))));
    if (!node.data) return false;
    // A section shorter than the fixed fields ends inside them; the next one starts there.
    const size_t head = total < sizeof fixed ? static_cast<size_t>(total) : sizeof fixed;
    std::memcpy(node.data.get(), fixed, head);
    if (!stream.Seek(start + head)) return false;
    // The read overwrites the buffer at once, so only what it does not deliver is zeroed.
    const size_t got =
        head + stream.Read(node.data.get() + head, static_cast<size_t>(total) - head);
    std::memset(node.data.get() + got, 0, static_cast<size_t>(total) - got);
    node.bytesRead = static_cast<uint32_t>(got);
    if (node.bytesRead != total) return false;
    node.id = node.data.get()[total - 2];
    node.flag = node.data.get()[total - 1];
    return true;
}

}  // namespace

char* TrimBlanks(char* text) {
    if (!text) return nullptr;
    // A blank is any byte that is at most 0x20 as a signed char: 0x01-0x20 and 0x80-0xFF.
    auto isBlank = [](char c) { return static_cast<signed char>(c) <= 0x20; };
    char* out = text;
    char* endOfKept = text;  // just after the last non-blank byte copied
    bool started = false;
    for (const char* in = text; *in; ++in) {
        if (!started && isBlank(*in)) continue;
        started = true;
        *out++ = *in;
        if (!isBlank(*in)) endOfKept = out;
    }
    *endOfKept = '\0';
    return text;
}

bool ReadSection(FirmwareStream& stream, uint64_t start, ImageSection& node) {
    return ReadSectionAt(stream, start, kEndUnknown, node);
}

int ParseFirmwareFile(FirmwareStream& stream, FirmwareInfo& info) {
    ClearFirmwareInfo(info);

    bool headerEnded = false;
    char line[kLineBuffer];
    while (!headerEnded && !stream.AtEnd()) {
        // A longer line is read on as the next line; a line cut short by the end of the
        // file is still handled.
        size_t n = stream.ReadLine(line, kLineLimit);
        line[n] = '\0';
        switch (HandleHeaderLine(info, line)) {
            case LineResult::kFileStart:
                headerEnded = true;
                break;
            case LineResult::kTooLong:
                return kErrHeaderTooLong;
            case LineResult::kNext:
                break;
        }
    }
    if (!headerEnded) return kErrFileTruncated;

    uint64_t start = stream.Position();
    if (!stream.SeekToEnd()) return kErrFileTruncated;
    const uint64_t end = stream.Position();
    while (start != end) {
        ImageSection* node = AppendSection(info);
        if (!node) return kErrFileTruncated;
        info.cursor = node;
        if (!ReadSectionAt(stream, start, end, *node)) return kErrFileTruncated;
        start = stream.Position();
    }
    return kOk;
}
