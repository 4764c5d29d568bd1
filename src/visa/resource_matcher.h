#pragma once
// VISA resource search expressions: '?' any one character, '*' zero or more and '+' one
// or more of what precedes, "[...]" and "[^...]" character classes with ranges such as
// "a-z", and '\' to take the next character literally. The whole name must match; letters
// match regardless of case. One matcher for every backend that searches itself (the kernel's
// USBTMC driver) and for the simulated instrument.

#include <string>

enum class ResourceMatch { kNoMatch, kMatch, kMalformed };

ResourceMatch MatchResourceExpression(const std::string& expression, const std::string& name);
