#include "fleet/dry_run.h"

#include <cstdio>

#include "base/printable_text.h"
#include "base/result_code.h"
#include "base/scope_exit.h"
#include "firmware/model_catalogue.h"
#include "fleet/firmware_image.h"
#include "fleet/run_lines.h"
#include "instrument/identification.h"
#include "instrument/instrument_link.h"

int DryRun(InstrumentLink& link, const FirmwareImage& image, const std::string& resource,
           RunLines& lines, bool& current) {
    const ModelRecord& model = *image.model;
    current = false;
    int code = link.ConnectDevice(resource);
    auto close = MakeScopeExit([&] { link.DisconnectDevice(); });
    if (code != kOk) return code;
    std::string reply, asRead;
    code = IdentifyDevice(link, model, reply, &asRead);
    if (code != kErrIo) lines.Identified(asRead);
    if (code != kOk && code != kErrNotWriterMode) return code;
    lines.Log(std::string("Mode: ") + (code == kOk ? "writer" : "normal"), LogEnd::kCompleted);
    code = RevisionCheckRuns(image.info) ? CheckRevisions(image.info, model, reply) : kOk;
    const std::string field = RevisionField(reply);
    current = code == kOk && ShowsFileRevisions(image.info, model, field);
    const ImageSection* section = image.info.sections;
    for (const SectionSpec* row = model.sections; row->firstSector != kSectionTableEnd && section;
         ++row, section = section->next) {
        char instrument[8] = {};
        row->extractRevision(field.c_str(), instrument);
        char line[400];
        std::snprintf(line, sizeof line, "%-16s file %-4s  instrument %-4s  %u bytes", row->name,
                      section->revision, PrintableText(instrument).c_str(), section->bytesRead);
        lines.Log(line, LogEnd::kCompleted);
    }
    return code;
}
