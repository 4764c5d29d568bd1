#include "visa/resource_matcher.h"

#include <algorithm>
#include <bitset>
#include <vector>

#include "base/ascii.h"

namespace {

struct Atom {
    std::bitset<256> accepts;
    enum Repeat { kOnce, kAnyCount, kAtLeastOnce } repeat = kOnce;
};

void AcceptBothCases(std::bitset<256>& set, unsigned char c) {
    set.set(c);
    set.set(static_cast<unsigned char>(LowerAscii(static_cast<char>(c))));
    set.set(static_cast<unsigned char>(UpperAscii(static_cast<char>(c))));
}

// Reads a class starting after its '['; `at` ends after the closing ']'.
bool ParseClass(const std::string& expr, size_t& at, std::bitset<256>& set) {
    bool negate = at < expr.size() && expr[at] == '^';
    if (negate) ++at;
    bool any = false;
    while (at < expr.size() && expr[at] != ']') {
        unsigned char low = static_cast<unsigned char>(expr[at++]);
        if (low == '\\') {
            if (at >= expr.size()) return false;
            low = static_cast<unsigned char>(expr[at++]);
        }
        unsigned char high = low;
        if (at + 1 < expr.size() && expr[at] == '-' && expr[at + 1] != ']') {
            high = static_cast<unsigned char>(expr[at + 1]);
            at += 2;
            if (high < low) return false;
        }
        for (unsigned c = low; c <= high; ++c) AcceptBothCases(set, static_cast<unsigned char>(c));
        any = true;
    }
    if (at >= expr.size() || !any) return false;  // unclosed or empty class
    ++at;
    if (negate) set.flip();
    return true;
}

bool Compile(const std::string& expr, std::vector<Atom>& atoms) {
    size_t at = 0;
    while (at < expr.size()) {
        char c = expr[at++];
        if (c == '*' || c == '+') {
            // A repeat needs something to repeat, and only one repeat per atom.
            if (atoms.empty() || atoms.back().repeat != Atom::kOnce) return false;
            atoms.back().repeat = c == '*' ? Atom::kAnyCount : Atom::kAtLeastOnce;
            continue;
        }
        Atom atom;
        if (c == '?') {
            atom.accepts.set();
        } else if (c == '[') {
            if (!ParseClass(expr, at, atom.accepts)) return false;
        } else if (c == ']') {
            return false;
        } else {
            if (c == '\\') {
                if (at >= expr.size()) return false;
                c = expr[at++];
            }
            AcceptBothCases(atom.accepts, static_cast<unsigned char>(c));
        }
        atoms.push_back(atom);
    }
    return true;
}

}  // namespace

ResourceMatch MatchResourceExpression(const std::string& expression, const std::string& name) {
    std::vector<Atom> atoms;
    if (!Compile(expression, atoms)) return ResourceMatch::kMalformed;

    // reach[i]: the first i characters of the name can be matched by the atoms so far.
    // One pass per atom keeps the work at atoms x characters, without backtracking.
    std::vector<bool> reach(name.size() + 1, false), next(name.size() + 1);
    reach[0] = true;
    for (const Atom& atom : atoms) {
        std::fill(next.begin(), next.end(), false);
        for (size_t i = 0; i <= name.size(); ++i) {
            bool fromBefore = i > 0 && atom.accepts[static_cast<unsigned char>(name[i - 1])];
            switch (atom.repeat) {
                case Atom::kOnce:
                    next[i] = fromBefore && reach[i - 1];
                    break;
                case Atom::kAnyCount:
                    next[i] = reach[i] || (fromBefore && next[i - 1]);
                    break;
                case Atom::kAtLeastOnce:
                    next[i] = fromBefore && (reach[i - 1] || next[i - 1]);
                    break;
            }
        }
        reach.swap(next);
    }
    return reach[name.size()] ? ResourceMatch::kMatch : ResourceMatch::kNoMatch;
}
