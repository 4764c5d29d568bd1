#include "text_events.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "base/printable_text.h"
#include "base/result_code.h"

TextEvents::TextEvents(OutputStream& out, OutputStream& err, std::vector<std::string> serials,
                       std::function<uint64_t()> nowMs)
    : out_(out),
      err_(err),
      serials_(std::move(serials)),
      progress_(serials_.size()),
      nowMs_(std::move(nowMs)),
      startMs_(nowMs_()) {}

std::string TextEvents::Prefix(const std::string& serial) {
    // One shape whatever the number of instruments, so that scripts read every run alike.
    return PrintableText(serial) + ": ";
}

std::string TextEvents::EraseProgress() {
    std::lock_guard<std::mutex> lock(drawMutex_);
    // To the start of the block's first line, then clear to the end of the screen.
    std::string erase =
        drawnLines_ > 0 ? "\x1b[" + std::to_string(drawnLines_) + "F\x1b[J" : std::string();
    drawnLines_ = 0;
    return erase;
}

std::string TextEvents::DrawProgress() {
    std::lock_guard<std::mutex> lock(drawMutex_);
    std::string block;
    for (const std::string& line : progress_)
        if (!line.empty()) block += line + "\n", ++drawnLines_;
    return block;
}

void TextEvents::Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(displayMutex_);
    if (!err_.terminal()) return out_.WriteLine(line);
    // The block is erased and drawn when the output thread gets there, from what holds then.
    err_.Write([this] { return EraseProgress(); });
    out_.WriteLine(line);
    err_.Write([this] { return DrawProgress(); });
}

void TextEvents::Log(const std::string& serial, const std::string& line) {
    Print(Prefix(serial) + PrintableText(line));
}

void TextEvents::Progress(const std::string& serial, int section, int sections, int percent) {
    if (!err_.terminal()) return;
    const auto at = std::find(serials_.begin(), serials_.end(), serial);
    if (at == serials_.end()) return;
    const double seconds = (nowMs_() - startMs_) / 1000.0;
    std::ostringstream text;
    text << PrintableText(serial) << "  section " << section << '/' << sections << "  "
         << std::setw(3) << percent << "%  " << std::fixed << std::setprecision(1) << seconds
         << " s";
    std::lock_guard<std::mutex> lock(displayMutex_);
    {
        std::lock_guard<std::mutex> draw(drawMutex_);
        progress_[at - serials_.begin()] = text.str();
    }
    err_.WriteLatest("progress", [this] { return EraseProgress() + DrawProgress(); });
}

void TextEvents::End(const RunEnd& end) {
    std::string line;
    if (end.code == kOk)
        line = end.dryRun ? EndMessage(end) : "Completed: cycle the power of the K4417F.";
    else
        line = "Error number: " + std::to_string(end.code) +
               (EndMessage(end).empty() ? "" : ": " + EndMessage(end));
    Print(Prefix(end.serial) + line);
}

void TextEvents::Summary(const std::vector<RunEnd>& ends) {
    // Columns of 12, 64 and 8 characters; a longer serial or result widens its own row.
    auto row = [](const std::string& serial, const std::string& result, const std::string& time) {
        std::ostringstream line;
        line << std::left << std::setw(12) << serial << ' ' << std::setw(64) << result << ' '
             << std::right << std::setw(8) << time;
        return line.str();
    };
    Print(row("serial", "result", "seconds"));
    for (const RunEnd& end : ends) {
        std::ostringstream seconds;
        seconds << std::fixed << std::setprecision(1) << end.seconds;
        Print(row(PrintableText(end.serial), std::to_string(end.code) + " " + EndMessage(end),
                  seconds.str()));
    }
}
