#include "help_format.h"

#include <sstream>
#include <vector>

namespace {

// Where a line's text column starts: after a first column (an option, a command, a status)
// and two blanks or more; else after its indentation. Never beyond half the width.
size_t ContinuationIndent(const std::string& line, size_t columns) {
    const size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) return 0;
    const size_t gap = line.find("  ", indent);
    if (gap != std::string::npos) {
        const size_t text = line.find_first_not_of(' ', gap);
        if (text != std::string::npos && text <= columns / 2) return text;
    }
    return indent <= columns / 2 ? indent : 0;
}

void WrapLine(const std::string& line, size_t columns, std::string& out) {
    if (line.size() <= columns) {
        out += line + "\n";
        return;
    }
    const size_t indent = ContinuationIndent(line, columns);
    // The first column stays as it is; what follows it is broken between words.
    std::string current = line.substr(0, indent);
    std::istringstream words(line.substr(indent));
    bool empty = true;  // no word on `current` yet
    for (std::string word; words >> word;) {
        if (!empty && current.size() + 1 + word.size() > columns) {
            out += current + "\n";
            current.assign(indent, ' ');
            empty = true;
        }
        current += (empty ? "" : " ") + word;
        empty = false;
    }
    out += current + "\n";
}

}  // namespace

std::string WrapLines(const std::string& text, int columns) {
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        WrapLine(line, columns > 0 ? static_cast<size_t>(columns) : 1, out);
    if (!text.empty() && text.back() != '\n' && !out.empty()) out.pop_back();
    return out;
}

std::string WrappedHelp::make_help(const CLI::App* app, std::string name,
                                   CLI::AppFormatMode mode) const {
    return WrapLines(CLI::Formatter::make_help(app, std::move(name), mode), columns_);
}
