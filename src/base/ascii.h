#pragma once
// ASCII letter case, the one place the program folds it: the letters a to z and A to Z
// change, every other byte stays as it is, whatever the locale.

#include <cstddef>
#include <string>

constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// In place, up to the terminating zero.
inline void UpperCaseAscii(char* text) {
    for (; *text != '\0'; ++text) *text = UpperAscii(*text);
}

inline void UpperCaseAscii(std::string& text) {
    for (char& c : text) c = UpperAscii(c);
}

inline std::string LowerCaseAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

inline bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// True when `text` begins with the first `count` characters of `prefix`, letter case
// ignored; a C string that ends sooner does not match.
inline bool StartsWithIgnoringCase(const char* text, const char* prefix, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (text[i] == '\0' || UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
    return true;
}

inline bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           StartsWithIgnoringCase(text.c_str(), prefix.c_str(), prefix.size());
}
