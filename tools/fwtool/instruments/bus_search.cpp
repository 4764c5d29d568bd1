#include "bus_search.h"

#include <cctype>

#include "app/device_identity.h"
#include "command_context.h"
#include "command_window.h"
#include "instrument/instrument_link.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

void BuiltInIds(std::string& vid, std::string& pid) {
    DeviceIdentity identity;
    ParseIdentityLine(identity, kDefaultIdentityLine);
    vid = NormaliseUsbId(identity.vid);
    pid = NormaliseUsbId(identity.pid);
}

std::vector<std::string> SearchBus(VisaLibrary& visa) {
    std::string vid, pid;
    BuiltInIds(vid, pid);
    CommandWindow window("", nullptr, [](uint32_t) {});
    InstrumentLink link(visa, window, vid, pid);
    return link.SearchInstruments() > 0 ? window.devices() : std::vector<std::string>();
}

std::string SerialField(const std::string& resource) {
    size_t start = 0;
    for (int field = 0; field < 3; ++field) {
        start = resource.find("::", start);
        if (start == std::string::npos) return std::string();
        start += 2;
    }
    return resource.substr(start, resource.find("::", start) - start);
}

std::string RevisionField(const std::string& reply) {
    size_t at = 0;
    for (int comma = 0; comma < 3; ++comma) {
        at = reply.find(',', at);
        if (at == std::string::npos) return std::string();
        ++at;
    }
    std::string field = reply.substr(at);
    while (!field.empty() && (field.back() == '\n' || field.back() == '\r')) field.pop_back();
    return field;
}

int ChooseInstruments(const std::vector<std::string>& found,
                      const std::vector<std::string>& serials, bool all,
                      std::vector<std::string>& chosen, std::string& problem) {
    chosen.clear();
    problem.clear();
    if (serials.empty()) {
        if (all || found.size() == 1) {
            chosen = found;
            return 0;
        }
        for (const std::string& resource : found) problem += " " + SerialField(resource);
        return kExitNoneChosen;
    }
    for (const std::string& serial : serials) {
        size_t before = chosen.size();
        for (const std::string& resource : found)
            if (Upper(SerialField(resource)) == Upper(serial)) chosen.push_back(resource);
        if (chosen.size() == before) problem += " " + serial;
        // A serial given twice names one instrument, updated once.
        for (size_t i = 0; i < before && chosen.size() > before; ++i)
            if (chosen[i] == chosen.back()) chosen.pop_back();
    }
    return problem.empty() ? 0 : kExitSerialNotFound;
}
