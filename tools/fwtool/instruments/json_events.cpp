#include "json_events.h"

#include "json_line.h"

namespace {
constexpr uint64_t kProgressIntervalMs = 100;
}

void JsonEvents::Log(const std::string& serial, const std::string& line) {
    out_.WriteLine(JsonLine(nlohmann::json{{"event", "log"}, {"serial", serial}, {"text", line}}));
}

void JsonEvents::Progress(const std::string& serial, int section, int sections, int percent) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint64_t now = nowMs_();
        auto last = lastProgressMs_.find(serial);
        if (last != lastProgressMs_.end() && now - last->second < kProgressIntervalMs) return;
        lastProgressMs_[serial] = now;
    }
    const std::string line = JsonLine(nlohmann::json{{"event", "progress"},
                                                     {"serial", serial},
                                                     {"section", section},
                                                     {"sections", sections},
                                                     {"percent", percent}}) +
                             "\n";
    out_.WriteLatest("progress " + serial, [line] { return line; });
}

void JsonEvents::SectionWritten(const std::string& serial, int index, int count,
                                const std::string& region) {
    out_.WriteLine(JsonLine(nlohmann::json{{"event", "section"},
                                           {"serial", serial},
                                           {"index", index},
                                           {"count", count},
                                           {"region", region}}));
}

void JsonEvents::End(const RunEnd& end) {
    out_.WriteLine(JsonLine(nlohmann::json{{"event", "end"},
                                           {"serial", end.serial},
                                           {"resource", end.resource},
                                           {"code", end.code},
                                           {"message", EndMessage(end)},
                                           {"seconds", end.seconds}},
                            nlohmann::json{{"revisions", end.revisions},
                                           {"imageRev", end.imageRev},
                                           {"sectionsWritten", end.sectionsWritten},
                                           {"current", end.current}}));
}
