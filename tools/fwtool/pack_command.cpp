// fwtool pack: builds a firmware revision file from a header and payload files, filling
// each section's length, id, flag and revision.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "commands.h"
#include "firmware/file_stream.h"
#include "firmware/model_catalogue.h"
#include "firmware_writer.h"
#include "os/os.h"
#include "os/record_file.h"

namespace {

constexpr char kDefaultRevision[] = "0000";

struct PackSection {
    const SectionSpec* row = nullptr;  // nullptr: an id outside the model's table
    int order = 0;                     // table position, or after the table in given order
    uint8_t id = 0;
    std::string payloadPath;
    std::string revision = kDefaultRevision;
};

struct PackOptions {
    std::string model, imageRev, utilityRev, description, revsNotSupport, output;
    bool haveRevsNotSupport = false;
    bool crlf = false;
    std::vector<std::string> sectionArgs;
};

std::string Lower(const std::string& s) {
    return LowerCaseAscii(s);
}

// Region names compare without letter case, and '-' or '_' may stand for a blank.
bool SameRegionName(const char* name, const std::string& given) {
    std::string a = Lower(name), b = Lower(given);
    for (char& c : b)
        if (c == '-' || c == '_') c = ' ';
    return a == b;
}

bool ParseId(const std::string& text, uint8_t& id) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    int value = std::atoi(text.c_str());
    if (value > 0xFF) return false;
    id = static_cast<uint8_t>(value);
    return true;
}

// "<region-or-id>=<payload-file>[:rev]"; the text after the last ':' is a revision when it
// is 1 to 4 characters without a path separator.
bool ParseSectionArgument(const std::string& arg, const ModelRecord& model, int extraOrder,
                          PackSection& out, std::string& error) {
    size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == arg.size()) {
        error = "--section needs <region-or-id>=<payload-file>[:rev], got '" + arg + "'";
        return false;
    }
    std::string region = arg.substr(0, eq);
    std::string file = arg.substr(eq + 1);
    size_t colon = file.rfind(':');
    if (colon != std::string::npos) {
        std::string rev = file.substr(colon + 1);
        if (!rev.empty() && rev.size() <= 4 && rev.find_first_of("/\\") == std::string::npos) {
            out.revision = rev;
            file.resize(colon);
        }
    }
    if (file.empty()) {
        error = "--section '" + arg + "' names no payload file";
        return false;
    }
    out.payloadPath = file;

    int row = 0;
    for (const SectionSpec* entry = model.sections; entry->firstSector != kSectionTableEnd;
         ++entry, ++row) {
        uint8_t id = 0;
        if (SameRegionName(entry->name, region) ||
            (ParseId(region, id) && id == entry->firstSector)) {
            out.row = entry;
            out.id = entry->firstSector;
            out.order = row;
            return true;
        }
    }
    if (!ParseId(region, out.id)) {
        error = "unknown region '" + region + "' (use a region name or a section id 0-255)";
        return false;
    }
    out.order = extraOrder;
    return true;
}

// The sections in the order they are written: the model's table order, then ids outside
// the table in the order given.
bool OrderedSections(const std::vector<std::string>& args, const ModelRecord& model,
                     std::vector<PackSection>& ordered, std::string& error) {
    const int rows = SectionCount(model);
    std::vector<PackSection> given;
    for (size_t i = 0; i < args.size(); ++i) {
        PackSection s;
        if (!ParseSectionArgument(args[i], model, rows + static_cast<int>(i), s, error))
            return false;
        for (const PackSection& other : given)
            if (other.id == s.id) {
                error = "section id " + std::to_string(s.id) + " given twice";
                return false;
            }
        given.push_back(s);
    }
    for (int order = 0; order < rows + static_cast<int>(args.size()); ++order)
        for (const PackSection& s : given)
            if (s.order == order) ordered.push_back(s);
    return true;
}

// A header value must survive the parser unchanged: no line breaks, no '=' (it would end
// the value), no blanks at its ends (trimmed away), and it must fit its field.
bool CheckHeaderValue(const char* key, const std::string& value, size_t longest,
                      std::string& error) {
    if (value.find_first_of("=\r\n") != std::string::npos) {
        error = std::string(key) + " may not contain '=' or line breaks";
        return false;
    }
    if (value.size() > longest) {
        error = std::string(key) + " is longer than " + std::to_string(longest) + " characters";
        return false;
    }
    if (!value.empty() && (static_cast<signed char>(value.front()) <= 0x20 ||
                           static_cast<signed char>(value.back()) <= 0x20)) {
        error = std::string(key) + " may not begin or end with a blank";
        return false;
    }
    return true;
}

bool CheckHeaderValues(const PackOptions& o, std::string& error) {
    return CheckHeaderValue("--model", o.model, 63, error) &&
           CheckHeaderValue("--image-rev", o.imageRev, 15, error) &&
           CheckHeaderValue("--utility-rev", o.utilityRev, 15, error) &&
           CheckHeaderValue("--description", o.description, 511, error) &&
           CheckHeaderValue("--revs-not-support", o.revsNotSupport, 15, error);
}

const ModelRecord* FindModelIgnoringCase(std::string name) {
    UpperCaseAscii(name);
    return FindModel(name.c_str());
}

void AddHeader(FirmwareBuilder& file, const PackOptions& o) {
    file.CrLf(o.crlf).Header("ImageRev", o.imageRev).Header("ModelName", o.model);
    if (o.haveRevsNotSupport) file.Header("RevsNotSupport", o.revsNotSupport);
    file.Header("UpdatedDescription", o.description).Header("UtilityRev", o.utilityRev);
    file.FileStart();
}

// Reads the file at the UTF-8 `path` whole: 0, or the system's error code (-1 for a failed
// read, which has none).
int ReadWholeFile(const std::string& path, std::string& out) {
    int error = 0;
    StdioFile f(os::OpenFile(path, "rb", &error));
    if (!f) return error;
    out.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) out.append(buffer, n);
    return std::ferror(f.get()) ? -1 : 0;
}

// Writes `bytes` to the UTF-8 `path`: 0, or the system's error code (-1 for a failed write).
int WriteWholeFile(const std::string& path, const std::string& bytes) {
    int error = 0;
    StdioFile f(os::OpenFile(path, "wb", &error));
    if (!f) return error;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return std::fclose(f.release()) == 0 && written ? 0 : -1;
}

// "'<path>'", and the system's reason when there is one.
std::string NamedWithReason(const std::string& path, int error) {
    return "'" + path + "'" + (error > 0 ? ": " + os::SystemErrorText(error) : std::string());
}

void WarnIfRegionTooSmall(const PackSection& s, size_t payloadSize) {
    if (!s.row) return;
    uint32_t region = (uint32_t{s.row->lastSector} - s.row->firstSector + 1) * s.row->sectorSize;
    if (payloadSize + kSectionOverhead > region)
        std::fprintf(stderr, "fwtool pack: warning: '%s' does not fit region '%s'\n",
                     s.payloadPath.c_str(), s.row->name);
}

// One section as stored in the file: the length counts offsets 4 up to the id byte, the
// checksum length (word1) equals it, and the flag is set. Returns an exit status.
int AddSection(FirmwareBuilder& file, const PackSection& s) {
    FileSection section;
    section.payload.emplace();
    if (const int error = ReadWholeFile(s.payloadPath, *section.payload)) {
        std::fprintf(stderr, "fwtool pack: cannot read %s\n",
                     NamedWithReason(s.payloadPath, error).c_str());
        return kExitUsage;
    }
    if (section.payload->size() > UINT32_MAX - kSectionOverhead)
        return UsageError("pack", "payload '" + s.payloadPath + "' is too large");
    WarnIfRegionTooSmall(s, section.payload->size());
    section.id = s.id;
    section.flag = 1;
    section.revision = s.revision;
    section.word0 = 0;
    file.AddSection(section);
    return kExitOk;
}

int RunPack(const PackOptions& o) {
    const ModelRecord* model = FindModelIgnoringCase(o.model);
    if (!model) return UsageError("pack", "model '" + o.model + "' is not in the catalogue");
    std::string error;
    std::vector<PackSection> ordered;
    if (!CheckHeaderValues(o, error) || !OrderedSections(o.sectionArgs, *model, ordered, error))
        return UsageError("pack", error);

    FirmwareBuilder file;
    AddHeader(file, o);
    for (const PackSection& s : ordered)
        if (int status = AddSection(file, s); status != kExitOk) return status;
    const int rows = SectionCount(*model);
    if (static_cast<int>(ordered.size()) < rows)
        std::fprintf(stderr, "fwtool pack: warning: %d of the model's %d regions given\n",
                     static_cast<int>(ordered.size()), rows);

    const std::string bytes = file.Bytes();
    if (const int error = WriteWholeFile(o.output, bytes)) {
        std::fprintf(stderr, "fwtool pack: cannot write %s\n",
                     NamedWithReason(o.output, error).c_str());
        return kExitUsage;
    }
    std::printf("wrote %s: %d sections, %zu bytes\n", o.output.c_str(),
                static_cast<int>(ordered.size()), bytes.size());
    return kExitOk;
}

}  // namespace

void AddPackCommand(CLI::App& app, int& exitStatus) {
    CLI::App* pack =
        app.add_subcommand("pack", "build a firmware revision file from payload files");
    pack->footer(
        std::string("Writes a firmware revision file: the header lines, then one section per\n"
                    "--section with its length, id, flag (1) and revision filled in. Sections of\n"
                    "the model's regions are written in the model's table order; sections given\n"
                    "by an id outside the table follow in the order given.\n"
                    "\n"
                    "REGION: a region name (letter case ignored, '-' or '_' for blanks, e.g.\n"
                    "main-program) or a section id; PAYLOAD: file holding the section's content;\n"
                    "SECTIONREV: up to 4 characters (default ") +
        kDefaultRevision +
        ").\n"
        "K4417F regions: writer-program (1), fpga-code-1 (4), fpga-code-2 (6),\n"
        "main-program (14), http-program (8), oem-code (30).\n"
        "\n"
        "exit status: 0 written, 125 usage error or unreadable/unwritable file.");
    // A repeated option takes its last value, as the sections take every one given.
    pack->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    auto o = std::make_shared<PackOptions>();
    pack->add_option("--model", o->model, "catalogue model name (e.g. K4417F)")->required();
    pack->add_option("--image-rev", o->imageRev, "ImageRev, at most 15 characters")->required();
    pack->add_option("--utility-rev", o->utilityRev,
                     "UtilityRev: oldest utility version for the file")
        ->required();
    pack->add_option("--description", o->description, "UpdatedDescription, at most 511 characters")
        ->required();
    CLI::Option* revsNotSupport = pack->add_option("--revs-not-support", o->revsNotSupport,
                                                   "RevsNotSupport, at most 15 characters");
    pack->add_flag("--crlf", o->crlf, "end header lines with CR LF");
    pack->add_option("--section", o->sectionArgs, "a section: REGION=PAYLOAD[:SECTIONREV]")
        ->required()
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    pack->add_option("-o,--output", o->output, "the file to write")->required();
    pack->callback([o, revsNotSupport, &exitStatus] {
        o->haveRevsNotSupport = revsNotSupport->count() > 0;
        exitStatus = RunPack(*o);
    });
}
