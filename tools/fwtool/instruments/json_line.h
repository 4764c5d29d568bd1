#pragma once
// One JSON object as one line of text; bytes that are not UTF-8 (an instrument's reply
// can hold any) become U+FFFD instead of failing.

#include <nlohmann/json.hpp>
#include <string>

inline std::string JsonLine(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The keys of `older` in the order the first versions wrote them (sorted), then `newer`'s
// after them: a line begins as it always has, for a caller that matches its text.
inline std::string JsonLine(const nlohmann::json& older, const nlohmann::json& newer) {
    nlohmann::ordered_json object;
    for (const auto& [key, value] : older.items()) object[key] = value;
    for (const auto& [key, value] : newer.items()) object[key] = value;
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
