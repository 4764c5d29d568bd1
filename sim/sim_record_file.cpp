#include "sim_record_file.h"

#include <nlohmann/json.hpp>

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string Dump(const nlohmann::json& j) {
    // Bytes that are not UTF-8 become U+FFFD in "text"; "hex" keeps them exactly.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

SimFileRecorder::SimFileRecorder(const std::string& path) {
    if (!path.empty()) file_.reset(std::fopen(path.c_str(), "w"));
}

void SimFileRecorder::OnCall(const SimCall& call) {
    nlohmann::json j = {
        {"op", call.op},         {"nth", call.nth},        {"resource", call.resource},
        {"status", call.status}, {"t", call.timeMs},       {"count", call.byteCount},
        {"arg", call.arg},       {"hex", Hex(call.bytes)}, {"text", call.text()}};
    WriteLine(Dump(j));
}

void SimFileRecorder::OnViolation(const std::string& text) {
    WriteLine(Dump(nlohmann::json{{"violation", text}}));
}

void SimFileRecorder::OnError(const std::string& text) {
    WriteLine(Dump(nlohmann::json{{"error", text}}));
}

void SimFileRecorder::WriteLine(const std::string& line) {
    if (!file_) return;
    std::fputs(line.c_str(), file_.get());
    std::fputc('\n', file_.get());
    std::fflush(file_.get());
}
