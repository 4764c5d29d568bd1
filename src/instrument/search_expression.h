#pragma once
// The shape of the VISA search expression: "USB?*::" + VID + "::" + PID + "::TW?*::INSTR"
// in a 50-byte buffer. Header-only so that start-up can refuse an identity that would not
// fit before any instrument code runs.

#include <cstddef>
#include <string>

constexpr char kSearchPrefix[] = "USB?*::";
constexpr char kSearchSeparator[] = "::";
constexpr char kSearchSuffix[] = "::TW?*::INSTR";
constexpr size_t kSearchExpressionMax = 49;  // characters, without the terminating zero

constexpr size_t SearchExpressionLength(size_t vidLength, size_t pidLength) {
    return (sizeof kSearchPrefix - 1) + vidLength + (sizeof kSearchSeparator - 1) + pidLength +
           (sizeof kSearchSuffix - 1);
}

inline bool FitsSearchExpression(const std::string& vid, const std::string& pid) {
    return SearchExpressionLength(vid.size(), pid.size()) <= kSearchExpressionMax;
}
