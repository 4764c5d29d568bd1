// fwtool check: the browse button's checks on one file, with what the parser read.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "base/result_messages.h"
#include "commands.h"
#include "firmware/file_stream.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "firmware/model_catalogue.h"
#include "os/os.h"
#include "os/record_file.h"

namespace {

// The region of `model` whose first sector is `id`, or "-".
const char* RegionName(const ModelRecord* model, uint8_t id) {
    if (!model || !model->sections) return "-";
    for (const SectionSpec* row = model->sections; row->firstSector != kSectionTableEnd; ++row)
        if (row->firstSector == id) return row->name;
    return "-";
}

// Revision characters as printable text (anything else becomes '.').
std::string Printable(const char* text) {
    std::string out;
    for (; *text; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    return out;
}

void PrintReport(const char* path, const FirmwareInfo& info, const ModelRecord* model) {
    std::printf("file:               %s\n", path);
    std::printf("ImageRev:           %s\n", info.ImageRev);
    std::printf("ModelName:          %s\n", info.ModelName);
    std::printf("RevsNotSupport:     %s\n", info.RevsNotSupport);
    std::printf("UpdatedDescription: %s\n", info.UpdatedDescription);
    std::printf("UtilityRev:         %s\n", info.UtilityRev);
    if (model)
        std::printf("model:              %s (%s)\n", model->modelName, model->maker);
    else
        std::printf("model:              -\n");
    int count = 0;
    for (const ImageSection* s = info.sections; s; s = s->next) ++count;
    std::printf("sections:           %d\n", count);
    if (count) std::printf("  index   id  flag      length  revision  bytes read  region\n");
    int index = 0;
    for (const ImageSection* s = info.sections; s; s = s->next)
        std::printf("  %5d  %3u  %4u  0x%08x  %-8s  %10u  %s\n", ++index, s->id, s->flag, s->length,
                    Printable(s->revision).c_str(), s->bytesRead, RegionName(model, s->id));
}

// The checks themselves; the exit status is the result code.
int RunCheck(const std::string& path) {
    int error = 0;
    FileStream file(os::OpenFile(path, "rb", &error));
    if (!file.IsOpen()) {
        std::fprintf(stderr, "fwtool: cannot open '%s': %s\n", path.c_str(),
                     os::SystemErrorText(error).c_str());
        return kExitUsage;
    }
    FirmwareInfo info;
    const ModelRecord* model = nullptr;
    int code = ParseAndValidate(file, info, model);
    PrintReport(path.c_str(), info, model);
    const char* message = code == kOk ? "OK" : kErrorTable[code].message;
    std::printf("result: %d %s\n", code, message);
    return ExitStatusFromResult(code);
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& exitStatus) {
    CLI::App* check =
        app.add_subcommand("check", "parse and validate FILE exactly as the update utility does");
    check->footer(
        "Parses FILE, finds its model in the catalogue and validates it with the\n"
        "update utility's own code, then prints the header, one line per section\n"
        "and last 'result: <code> <message>' (message 'OK' for code 0).\n"
        "\n"
        "exit status: the result code (0 = the utility accepts the file),\n"
        "             125 when FILE cannot be opened or the usage is wrong.");
    auto path = std::make_shared<std::string>();
    check->add_option("FILE", *path, "firmware revision file")->required();
    check->callback([path, &exitStatus] { exitStatus = RunCheck(*path); });
}
