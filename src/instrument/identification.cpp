#include "instrument/identification.h"

#include <cstring>

#include "base/ascii.h"
#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/model_catalogue.h"
#include "instrument/instrument_link.h"

namespace {

constexpr char kIdentifyQuery[] = "*IDN?\n";
constexpr char kSwitchToWriterCommand[] = "SYST:UPDATE COUNTER\n";
constexpr uint8_t kOemSector = 30;  // the row that is never compared

bool IsOemRow(const SectionSpec& row) {
    return row.firstSector == kOemSector && row.lastSector == kOemSector;
}

// The first field as strtok with "," finds it: leading commas skipped, up to the next comma.
std::string FirstField(const std::string& text) {
    const size_t begin = text.find_first_not_of(',');
    if (begin == std::string::npos) return std::string();
    const size_t end = text.find(',', begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

int IdentifyDevice(InstrumentLink& link, const ModelRecord& model, std::string& reply,
                   std::string* asRead) {
    if (link.WriteDevice(kIdentifyQuery, sizeof kIdentifyQuery - 1) != VI_SUCCESS) return kErrIo;
    char buffer[kReplyMax + 1] = {};
    uint32_t count = 0;
    if (link.ReadDevice(buffer, kReplyMax, &count, asRead) != VI_SUCCESS) return kErrIo;

    const std::string text(buffer);  // up to the first zero byte; ReadDevice upper-cased it
    reply = text;

    const std::string first = FirstField(text);
    if (first.empty()) return kErrNoIdentityField;
    std::string maker(model.maker);
    UpperCaseAscii(maker);
    return first == maker ? kErrNotWriterMode : kOk;
}

int SwitchToWriter(InstrumentLink& link) {
    if (link.WriteDevice(kSwitchToWriterCommand, sizeof kSwitchToWriterCommand - 1) != VI_SUCCESS)
        return kErrIo;
    return kOk;
}

bool RevisionCheckRuns(const FirmwareInfo& info) {
    return static_cast<signed char>(info.ImageRev[0]) > '0';
}

size_t RevisionFieldStart(const std::string& reply) {
    size_t at = 0;
    for (int comma = 0; comma < 3; ++comma) {
        at = reply.find(',', at);
        if (at == std::string::npos) return std::string::npos;
        ++at;
    }
    return at;
}

std::string RevisionField(const std::string& reply) {
    const size_t start = RevisionFieldStart(reply);
    if (start == std::string::npos) return std::string();
    std::string field = reply.substr(start);
    while (!field.empty() && (field.back() == '\n' || field.back() == '\r')) field.pop_back();
    return field;
}

int CheckRevisions(const FirmwareInfo& info, const ModelRecord& model, const std::string& reply) {
    const size_t start = RevisionFieldStart(reply);
    if (start == std::string::npos) return kErrNoRevision;
    const std::string field = reply.substr(start);

    const ImageSection* section = info.sections;
    for (const SectionSpec* row = model.sections; row->firstSector != kSectionTableEnd; ++row) {
        // A validated file pairs every row with a section; a shorter list is not trusted.
        if (section == nullptr) return kErrInstrumentNewerThanFile;
        if (!IsOemRow(*row)) {
            char instrumentRevision[8] = {};
            if (row->extractRevision != nullptr)
                row->extractRevision(field.c_str(), instrumentRevision);
            instrumentRevision[sizeof instrumentRevision - 1] = '\0';
            // strcmp compares as unsigned bytes.
            if (std::strcmp(section->revision, instrumentRevision) < 0)
                return kErrInstrumentNewerThanFile;
        }
        section = section->next;
    }
    return kOk;
}

bool ShowsFileRevisions(const FirmwareInfo& info, const ModelRecord& model,
                        const std::string& field) {
    // What an extractor takes from a field long enough for every region is its width.
    const std::string longField(64, '#');
    const ImageSection* section = info.sections;
    for (const SectionSpec* row = model.sections; row->firstSector != kSectionTableEnd;
         ++row, section = section->next) {
        if (section == nullptr) return false;
        if (IsOemRow(*row)) continue;
        if (row->extractRevision == nullptr) return false;
        char shown[8] = {}, width[8] = {};
        row->extractRevision(field.c_str(), shown);
        row->extractRevision(longField.c_str(), width);
        const size_t count = std::strlen(width);
        if (count == 0 || std::strlen(shown) != count ||
            std::strncmp(shown, section->revision, count) != 0)
            return false;
    }
    return true;
}
