#include "fleet/choice.h"

#include "base/ascii.h"
#include "instrument/resource_name.h"

Choice ChooseInstruments(const std::vector<std::string>& found,
                         const std::vector<std::string>& serials, bool all,
                         std::vector<std::string>& chosen, std::string& problem) {
    chosen.clear();
    problem.clear();
    if (serials.empty()) {
        if (all || found.size() == 1) {
            chosen = found;
            return Choice::kChosen;
        }
        for (const std::string& resource : found) problem += " " + SerialFromResource(resource);
        return Choice::kNoneChosen;
    }
    for (const std::string& serial : serials) {
        size_t before = chosen.size();
        for (const std::string& resource : found)
            if (EqualIgnoringCase(SerialFromResource(resource), serial)) chosen.push_back(resource);
        if (chosen.size() == before) problem += " " + serial;
        // A serial given twice names one instrument, updated once.
        for (size_t i = 0; i < before && chosen.size() > before; ++i)
            if (chosen[i] == chosen.back()) chosen.pop_back();
    }
    return problem.empty() ? Choice::kChosen : Choice::kSerialNotFound;
}
