#include "fleet/choice.h"

#include <algorithm>

#include "base/ascii.h"
#include "instrument/resource_name.h"

Choice ChooseInstruments(const std::vector<std::string>& found,
                         const std::vector<std::string>& serials, bool all,
                         std::vector<std::string>& chosen, std::string& problem) {
    chosen.clear();
    problem.clear();
    if (serials.empty() && !all) {
        if (found.size() == 1) {
            chosen = found;
            return Choice::kChosen;
        }
        for (const std::string& resource : found) problem += " " + SerialFromResource(resource);
        return Choice::kNoneChosen;
    }
    std::vector<std::string> asked = serials;
    if (serials.empty())  // all: every serial found, each once
        for (const std::string& resource : found)
            if (std::none_of(asked.begin(), asked.end(), [&](const std::string& serial) {
                    return EqualIgnoringCase(serial, SerialFromResource(resource));
                }))
                asked.push_back(SerialFromResource(resource));
    std::string several;
    for (const std::string& serial : asked) {
        std::vector<std::string> matches;
        for (const std::string& resource : found)
            if (EqualIgnoringCase(SerialFromResource(resource), serial))
                matches.push_back(resource);
        if (matches.empty()) problem += " " + serial;
        // One serial on two resources (two interfaces, a clone): which is meant is unknown,
        // and taking both could update one instrument twice at once.
        if (matches.size() > 1)
            for (const std::string& resource : matches) several += " " + resource;
        // A serial given twice names one instrument, updated once.
        if (matches.size() == 1 &&
            std::find(chosen.begin(), chosen.end(), matches[0]) == chosen.end())
            chosen.push_back(matches[0]);
    }
    if (!problem.empty()) return Choice::kSerialNotFound;
    problem = several;
    return problem.empty() ? Choice::kChosen : Choice::kSerialOnSeveral;
}

std::vector<std::string> InstrumentsNamed(const std::vector<std::string>& found,
                                          const std::vector<std::string>& serials,
                                          std::vector<std::string>& missing) {
    missing.clear();
    if (serials.empty()) return found;
    std::vector<std::string> named;
    for (const std::string& resource : found)
        for (const std::string& serial : serials)
            if (EqualIgnoringCase(SerialFromResource(resource), serial)) {
                named.push_back(resource);
                break;
            }
    for (const std::string& serial : serials)
        if (std::none_of(found.begin(), found.end(), [&serial](const std::string& resource) {
                return EqualIgnoringCase(SerialFromResource(resource), serial);
            }))
            missing.push_back(serial);
    return named;
}
