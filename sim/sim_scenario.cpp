#include "sim_scenario.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

using nlohmann::json;

namespace {

// Reads one JSON object field by field, checking types, so that nothing throws and every
// mistake becomes a message naming where it is.
class FieldReader {
  public:
    FieldReader(const json& object, std::string where, std::string& error)
        : object_(object), where_(std::move(where)), error_(error) {}

    bool Text(const char* key, std::string& out) {
        return Read(key, "a string", [&](const json& v) {
            if (!v.is_string()) return false;
            out = v.get_ref<const std::string&>();
            return true;
        });
    }
    bool Flag(const char* key, bool& out) {
        return Read(key, "true or false", [&](const json& v) {
            if (!v.is_boolean()) return false;
            out = v.get<bool>();
            return true;
        });
    }
    bool Integer(const char* key, int64_t low, int64_t high, int64_t& out) {
        std::string expected =
            "an integer from " + std::to_string(low) + " to " + std::to_string(high);
        return Read(key, expected.c_str(), [&](const json& v) {
            if (!v.is_number_integer()) return false;
            int64_t value = v.is_number_unsigned() && v.get<uint64_t>() > INT64_MAX
                                ? INT64_MAX
                                : v.get<int64_t>();
            if (value < low || value > high) return false;
            out = value;
            return true;
        });
    }
    bool Number(const char* key, double& out) {
        return Read(key, "a number", [&](const json& v) {
            if (!v.is_number()) return false;
            out = v.get<double>();
            return true;
        });
    }
    // A key read elsewhere.
    void Allow(const char* key) { known_.insert(key); }
    // Every key must be one that was asked for: a misspelt key is an error, not a default.
    bool NoOtherKeys() {
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (!known_.count(it.key())) {
                error_ = where_ + ": unknown key \"" + it.key() + "\"";
                return false;
            }
        }
        return true;
    }

  private:
    template <typename Convert>
    bool Read(const char* key, const char* expected, Convert convert) {
        known_.insert(key);
        auto it = object_.find(key);
        if (it == object_.end()) return true;
        if (convert(*it)) return true;
        error_ = where_ + ": \"" + key + "\" must be " + expected;
        return false;
    }

    const json& object_;
    std::string where_;
    std::string& error_;
    std::set<std::string> known_;
};

const std::set<std::string> kOps = {"viOpenDefaultRM", "viFindRsrc",     "viFindNext", "viOpen",
                                    "viClose",         "viSetAttribute", "viRead",     "viWrite"};
const std::set<std::string> kActions = {"fail", "timeout", "reply", "silent"};
const std::set<std::string> kSteps = {"reset",           "end_load_data", "end_load",    "select",
                                      "checksum_length", "checksum",      "flash_check", "final"};

bool ReadInstrument(const json& item, const std::string& where, SimInstrumentSpec& setup,
                    std::string& error) {
    if (!item.is_object()) {
        error = where + " must be an object";
        return false;
    }
    FieldReader r(item, where, error);
    if (!r.Text("resource", setup.resource) || !r.Text("maker", setup.maker) ||
        !r.Text("model", setup.model) || !r.Text("revision", setup.revision) ||
        !r.Text("mode", setup.mode) || !r.Text("flashFile", setup.flashFile) ||
        !r.Flag("lowerCaseReplies", setup.lowerCaseReplies) || !r.Text("idnReply", setup.idnReply) ||
        !r.NoOtherKeys())
        return false;
    if (setup.resource.empty()) {
        error = where + ": \"resource\" is required";
        return false;
    }
    if (setup.mode != "normal" && setup.mode != "writer") {
        error = where + ": \"mode\" must be \"normal\" or \"writer\"";
        return false;
    }
    return true;
}

bool ReadFault(const json& item, const std::string& where, SimFault& fault, std::string& error) {
    if (!item.is_object()) {
        error = where + " must be an object";
        return false;
    }
    FieldReader r(item, where, error);
    int64_t nth = 0, section = 0, status = 0;
    if (!r.Text("op", fault.op) || !r.Integer("nth", 1, INT32_MAX, nth) ||
        !r.Text("action", fault.action) || !r.Integer("status", INT32_MIN, INT32_MAX, status) ||
        !r.Integer("section", 1, INT32_MAX, section) || !r.Text("step", fault.step) ||
        !r.Text("text", fault.text) || !r.Text("resource", fault.resource) || !r.NoOtherKeys())
        return false;
    fault.nth = static_cast<int>(nth);
    fault.section = static_cast<int>(section);
    fault.status = static_cast<int32_t>(status);

    if (!fault.op.empty()) {
        if (!kOps.count(fault.op)) {
            error = where + ": unknown op \"" + fault.op + "\"";
            return false;
        }
        if (fault.nth == 0) {
            error = where + ": a call-level fault needs \"nth\"";
            return false;
        }
        if (!kActions.count(fault.action)) {
            error = where + ": \"action\" must be fail, timeout, reply or silent";
            return false;
        }
        if (fault.action == "reply" && fault.op != "viRead") {
            error = where + ": \"reply\" applies to viRead only";
            return false;
        }
        if (fault.action == "silent" && fault.op != "viRead" && fault.op != "viWrite") {
            error = where + ": \"silent\" applies to viRead and viWrite only";
            return false;
        }
        return true;
    }
    if (fault.section == 0 || !kSteps.count(fault.step)) {
        error = where + ": needs \"op\" and \"nth\", or \"section\" and a known \"step\"";
        return false;
    }
    if (!fault.action.empty() && fault.action != "silent") {
        error = where + ": a writer-level fault's \"action\" can only be \"silent\"";
        return false;
    }
    return true;
}

}  // namespace

bool SimScenario::FromJson(const std::string& text, SimScenario& out, std::string& error) {
    json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) {
        error = "scenario is not valid JSON";
        return false;
    }
    if (!root.is_object()) {
        error = "scenario must be a JSON object";
        return false;
    }
    SimScenario scenario;
    scenario.instruments.clear();
    FieldReader r(root, "scenario", error);
    int64_t progress = scenario.progressLines;
    if (!r.Flag("timingChecks", scenario.timingChecks) ||
        !r.Integer("progressLines", -1, 10000, progress) ||
        !r.Number("timeoutScale", scenario.timeoutScale))
        return false;
    scenario.progressLines = static_cast<int>(progress);
    if (scenario.timeoutScale < 0) {
        error = "scenario: \"timeoutScale\" must not be negative";
        return false;
    }

    const json empty = json::array();
    auto instruments = root.find("instruments");
    auto faults = root.find("faults");
    const json& instrumentList = instruments == root.end() ? empty : *instruments;
    const json& faultList = faults == root.end() ? empty : *faults;
    if (!instrumentList.is_array() || !faultList.is_array()) {
        error = "scenario: \"instruments\" and \"faults\" must be arrays";
        return false;
    }
    r.Allow("instruments");
    r.Allow("faults");
    if (!r.NoOtherKeys()) return false;

    for (size_t i = 0; i < instrumentList.size(); ++i) {
        SimInstrumentSpec setup;
        if (!ReadInstrument(instrumentList[i], "instruments[" + std::to_string(i) + "]", setup,
                            error))
            return false;
        scenario.instruments.push_back(std::move(setup));
    }
    for (size_t i = 0; i < faultList.size(); ++i) {
        SimFault fault;
        if (!ReadFault(faultList[i], "faults[" + std::to_string(i) + "]", fault, error))
            return false;
        scenario.faults.push_back(std::move(fault));
    }
    out = std::move(scenario);
    return true;
}

bool SimScenario::FromFile(const std::string& path, SimScenario& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open scenario file " + path;
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!FromJson(text, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

SimScenario SimScenario::SingleInstrument(const std::string& mode) {
    SimScenario scenario;
    SimInstrumentSpec setup;
    setup.resource = "USB0::0x0D3F::0x1141::TW00000001::INSTR";
    setup.revision = SimRevisionField(SimRegionRevisions{});
    setup.mode = mode;
    scenario.instruments.push_back(setup);
    return scenario;
}

std::string SimSerialOf(const std::string& resource) {
    // Fields are separated by "::"; the serial is the fourth.
    size_t start = 0;
    for (int field = 0; field < 3; ++field) {
        size_t sep = resource.find("::", start);
        if (sep == std::string::npos) return resource;
        start = sep + 2;
    }
    size_t end = resource.find("::", start);
    return resource.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string SimRevisionField(const SimRegionRevisions& revisions) {
    std::string field(22, '.');
    const std::string* texts[] = {&revisions.mainProgram, &revisions.writerProgram,
                                  &revisions.fpgaCode1, &revisions.fpgaCode2,
                                  &revisions.httpProgram};
    for (size_t i = 0; i < 5; ++i) {
        const SimRegionLayout& region = kSimRegions[i];
        field.replace(region.position, std::min(region.width, texts[i]->size()),
                      texts[i]->substr(0, region.width));
    }
    return field;
}
