#pragma once
// One JSON object as one line of text; bytes that are not UTF-8 (an instrument's reply
// can hold any) become U+FFFD instead of failing.

#include <nlohmann/json.hpp>
#include <string>

inline std::string JsonLine(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
