#pragma once
// VISA resource search expressions: '?' any one character, '*' zero or more and '+' one
// or more of what precedes, "[...]" and "[^...]" character classes with ranges such as
// "a-z", and '\' to take the next character literally. The whole name must match; letters
// match regardless of case.

#include <string>

enum class SimMatch { kNoMatch, kMatch, kMalformed };

SimMatch SimMatchExpression(const std::string& expression, const std::string& name);
