// fwtool pack: builds a firmware revision file from a header and payload files, filling
// each section's length, id, flag and revision.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "commands.h"
#include "firmware/file_stream.h"
#include "firmware/model_catalogue.h"

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
    std::vector<PackSection> sections;
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
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

void PutBigEndian(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    StdioFile f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    out.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) out.append(buffer, n);
    return !std::ferror(f.get());
}

// One section as stored in the file: the length counts offsets 4 up to the id byte, the
// checksum length (word1) equals it, and the flag is set.
bool AppendSectionBytes(std::string& file, const PackSection& s, const std::string& payload,
                        std::string& error) {
    if (payload.size() > UINT32_MAX - 22) {
        error = "payload '" + s.payloadPath + "' is too large";
        return false;
    }
    uint32_t length = static_cast<uint32_t>(payload.size()) + 16;
    PutBigEndian(file, 0);
    PutBigEndian(file, length);
    PutBigEndian(file, length);
    for (size_t i = 0; i < 4; ++i) file.push_back(i < s.revision.size() ? s.revision[i] : '\0');
    PutBigEndian(file, 0);
    file += payload;
    file.push_back(static_cast<char>(s.id));
    file.push_back(1);
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

int Usage(const std::string& error) {
    std::fprintf(stderr, "fwtool pack: %s\n\n", error.c_str());
    PrintPackHelp(stderr);
    return kExitUsage;
}

}  // namespace

void PrintPackHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: fwtool pack --model MODEL --image-rev REV --utility-rev REV\n"
                 "                   --description TEXT [--revs-not-support REV] [--crlf]\n"
                 "                   --section REGION=PAYLOAD[:SECTIONREV] ... -o OUT\n"
                 "\n"
                 "Writes a firmware revision file: the header lines, then one section per\n"
                 "--section with its length, id, flag (1) and revision filled in. Sections of\n"
                 "the model's regions are written in the model's table order; sections given\n"
                 "by an id outside the table follow in the order given.\n"
                 "\n"
                 "  --model MODEL          catalogue model name (e.g. K4417F)\n"
                 "  --image-rev REV        ImageRev, at most 15 characters\n"
                 "  --utility-rev REV      UtilityRev: oldest utility version for the file\n"
                 "  --description TEXT     UpdatedDescription, at most 511 characters\n"
                 "  --revs-not-support REV RevsNotSupport, at most 15 characters\n"
                 "  --crlf                 end header lines with CR LF\n"
                 "  --section REGION=PAYLOAD[:SECTIONREV]\n"
                 "                         REGION: a region name (letter case ignored, '-' or\n"
                 "                         '_' for blanks, e.g. main-program) or a section id;\n"
                 "                         PAYLOAD: file holding the section's content;\n"
                 "                         SECTIONREV: up to 4 characters (default %s)\n"
                 "  -o OUT                 the file to write\n"
                 "\n"
                 "K4417F regions: writer-program (1), fpga-code-1 (4), fpga-code-2 (6),\n"
                 "main-program (14), http-program (8), oem-code (30).\n"
                 "exit status: 0 written, 125 usage error or unreadable/unwritable file.\n",
                 kDefaultRevision);
}

int RunPack(int argc, char** argv) {
    PackOptions o;
    std::vector<std::string> sectionArgs;
    bool haveModel = false, haveImage = false, haveUtility = false, haveDescription = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintPackHelp(stdout);
            return 0;
        }
        if (arg == "--crlf") {
            o.crlf = true;
            continue;
        }
        if (i + 1 >= argc) return Usage("option '" + arg + "' needs a value");
        std::string value = argv[++i];
        if (arg == "--model") {
            o.model = value;
            haveModel = true;
        } else if (arg == "--image-rev") {
            o.imageRev = value;
            haveImage = true;
        } else if (arg == "--utility-rev") {
            o.utilityRev = value;
            haveUtility = true;
        } else if (arg == "--description") {
            o.description = value;
            haveDescription = true;
        } else if (arg == "--revs-not-support") {
            o.revsNotSupport = value;
            o.haveRevsNotSupport = true;
        } else if (arg == "--section") {
            sectionArgs.push_back(value);
        } else if (arg == "-o" || arg == "--output") {
            o.output = value;
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }
    if (!haveModel || !haveImage || !haveUtility || !haveDescription || o.output.empty())
        return Usage("--model, --image-rev, --utility-rev, --description and -o are required");
    if (sectionArgs.empty()) return Usage("at least one --section is required");

    std::string upperModel = o.model;
    for (char& c : upperModel) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const ModelRecord* model = FindModel(upperModel.c_str());
    if (!model) return Usage("model '" + o.model + "' is not in the catalogue");

    std::string error;
    if (!CheckHeaderValue("--model", o.model, 63, error) ||
        !CheckHeaderValue("--image-rev", o.imageRev, 15, error) ||
        !CheckHeaderValue("--utility-rev", o.utilityRev, 15, error) ||
        !CheckHeaderValue("--description", o.description, 511, error) ||
        !CheckHeaderValue("--revs-not-support", o.revsNotSupport, 15, error))
        return Usage(error);

    const int rows = SectionCount(*model);
    for (size_t i = 0; i < sectionArgs.size(); ++i) {
        PackSection s;
        if (!ParseSectionArgument(sectionArgs[i], *model, rows + static_cast<int>(i), s, error))
            return Usage(error);
        for (const PackSection& other : o.sections)
            if (other.id == s.id)
                return Usage("section id " + std::to_string(s.id) + " given twice");
        o.sections.push_back(s);
    }
    // Stable: ids outside the table keep the order in which they were given.
    std::vector<PackSection> ordered;
    for (int order = 0; order < rows + static_cast<int>(sectionArgs.size()); ++order)
        for (const PackSection& s : o.sections)
            if (s.order == order) ordered.push_back(s);

    const char* eol = o.crlf ? "\r\n" : "\n";
    std::string file;
    file += std::string("#ImageRev=") + o.imageRev + eol;
    file += std::string("#ModelName=") + o.model + eol;
    if (o.haveRevsNotSupport) file += std::string("#RevsNotSupport=") + o.revsNotSupport + eol;
    file += std::string("#UpdatedDescription=") + o.description + eol;
    file += std::string("#UtilityRev=") + o.utilityRev + eol;
    file += std::string("#FileStart") + eol;

    for (const PackSection& s : ordered) {
        std::string payload;
        if (!ReadWholeFile(s.payloadPath, payload)) {
            std::fprintf(stderr, "fwtool pack: cannot read '%s'\n", s.payloadPath.c_str());
            return kExitUsage;
        }
        if (!AppendSectionBytes(file, s, payload, error)) return Usage(error);
        if (s.row) {
            uint32_t region =
                (uint32_t{s.row->lastSector} - s.row->firstSector + 1) * s.row->sectorSize;
            if (payload.size() + 22 > region)
                std::fprintf(stderr, "fwtool pack: warning: '%s' does not fit region '%s'\n",
                             s.payloadPath.c_str(), s.row->name);
        }
    }
    if (static_cast<int>(ordered.size()) < rows)
        std::fprintf(stderr, "fwtool pack: warning: %d of the model's %d regions given\n",
                     static_cast<int>(ordered.size()), rows);

    StdioFile out(std::fopen(o.output.c_str(), "wb"));
    bool written = out && std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
    if (out && std::fclose(out.release()) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "fwtool pack: cannot write '%s'\n", o.output.c_str());
        return kExitUsage;
    }
    std::printf("wrote %s: %d sections, %zu bytes\n", o.output.c_str(),
                static_cast<int>(ordered.size()), file.size());
    return 0;
}
