#pragma once
// One output stream of the command line (stdout or stderr), shared by every run. In a real
// process it queues on the process's output thread (os/output_writer.h), so a run never
// waits for the reader and a closed stream costs nothing; each Write is one whole piece of
// text, so lines of different threads never mix. Tests capture the text instead, at once.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "os/output_writer.h"

class OutputStream {
  public:
    OutputStream(os::OutputWriter& writer, os::OutputWriter::Stream stream, bool terminal)
        : writer_(&writer), stream_(stream), terminal_(terminal) {}
    explicit OutputStream(std::string& capture, bool terminal = false)
        : capture_(&capture), terminal_(terminal) {}

    void Write(const std::string& text);
    void WriteLine(const std::string& line) { Write(line + "\n"); }
    // Text made when it is written, in its turn among the other writes.
    void Write(const os::OutputWriter::Render& render);
    // Progress: of the writes of `key` still waiting for a slow reader, only the newest
    // is written.
    void WriteLatest(const std::string& key, const os::OutputWriter::Render& render);
    // Returns once what was written so far is out (or dropped; see OutputWriter::Flush).
    void Flush(uint32_t withinMs = UINT32_MAX) {
        if (writer_) writer_->Flush(withinMs);
    }
    // A terminal gets the progress display and may be asked questions.
    bool terminal() const { return terminal_; }

  private:
    std::mutex mutex_;
    os::OutputWriter* writer_ = nullptr;
    os::OutputWriter::Stream stream_ = os::OutputWriter::kOut;
    std::string* capture_ = nullptr;
    bool terminal_;
};
