#pragma once
// ASCII upper case: the letters a to z become A to Z, every other byte stays as it is,
// whatever the locale.

#include <string>

constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// In place, up to the terminating zero.
inline void UpperCaseAscii(char* text) {
    for (; *text != '\0'; ++text) *text = UpperAscii(*text);
}

inline void UpperCaseAscii(std::string& text) {
    for (char& c : text) c = UpperAscii(c);
}
