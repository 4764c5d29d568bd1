#include "firmware/firmware_info.h"

#include <cstring>
#include <new>

FirmwareInfo::~FirmwareInfo() {
    ClearFirmwareInfo(*this);
}

void ClearFirmwareInfo(FirmwareInfo& info) {
    // One node at a time from the head: a list of any length is freed without recursion.
    while (ImageSection* head = info.sections) {
        info.sections = head->next;
        delete head;  // its data buffer goes with it
    }
    std::memset(info.ImageRev, 0, sizeof info.ImageRev);
    std::memset(info.ModelName, 0, sizeof info.ModelName);
    std::memset(info.RevsNotSupport, 0, sizeof info.RevsNotSupport);
    std::memset(info.UpdatedDescription, 0, sizeof info.UpdatedDescription);
    std::memset(info.UtilityRev, 0, sizeof info.UtilityRev);
    info.sections = nullptr;
    info.cursor = nullptr;
}

ImageSection* AppendSection(FirmwareInfo& info) {
    ImageSection* node = new (std::nothrow) ImageSection();
    if (!node) return nullptr;
    if (!info.sections) {
        info.sections = node;
        return node;
    }
    // The cursor always stands on a node of this list; while parsing it is the last one,
    // so starting there keeps appending constant-time even for files of many sections.
    ImageSection* last = info.cursor ? info.cursor : info.sections;
    while (last->next) last = last->next;
    last->next = node;
    return node;
}
