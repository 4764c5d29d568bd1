#pragma once
// One output stream of the command line (stdout or stderr), shared by every run: each
// Write puts out its whole text under the stream's own lock, so lines of different
// threads never mix. Tests capture the text instead.

#include <cstdio>
#include <mutex>
#include <string>

class OutputStream {
  public:
    OutputStream(std::FILE* file, bool terminal) : file_(file), terminal_(terminal) {}
    explicit OutputStream(std::string& capture, bool terminal = false)
        : capture_(&capture), terminal_(terminal) {}

    void Write(const std::string& text);
    void WriteLine(const std::string& line) { Write(line + "\n"); }
    // A terminal gets the progress display and may be asked questions.
    bool terminal() const { return terminal_; }

  private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string* capture_ = nullptr;
    bool terminal_;
};
