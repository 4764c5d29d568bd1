#pragma once
// The command line's stdout and stderr, written by one thread of their own: a run that
// reports a line only queues it, so no instrument waits for a slow terminal or pipe
// between two frames. Lines keep the order in which they were queued, across both streams.
//  - Lines are never dropped while their stream works. Progress, queued with a key, is
//    coalesced instead: of the lines of one key still waiting, only the newest is written,
//    so a slow reader costs at most one waiting progress line per key.
//  - A stream that fails (closed pipe, full disk) is written no more: its lines are
//    dropped, nothing blocks and the runs go on.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace os {

class OutputWriter {
  public:
    enum Stream { kOut = 0, kErr = 1 };
    // Writes the text whole; false when the stream failed.
    using Sink = std::function<bool(Stream, const std::string&)>;
    // Makes a line's text when it is written, on the writer's thread: a display that
    // redraws itself draws what holds then.
    using Render = std::function<std::string()>;

    explicit OutputWriter(Sink sink);
    ~OutputWriter();  // writes what is queued, then ends the thread
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    void Write(Stream stream, std::string text);
    void Write(Stream stream, Render render);
    // Replaces a line of `key` still waiting; the new one is queued last.
    void WriteLatest(const std::string& key, Stream stream, Render render);
    // Returns once every line queued before the call is written or dropped.
    void Flush();
    bool failed(Stream stream) const;

  private:
    struct Line {
        Stream stream;
        std::string text;
        Render render;
        std::string key;
    };
    void Queue(Line line);
    void Run();

    Sink sink_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Line> queue_;
    uint64_t queued_ = 0, done_ = 0;  // lines ever queued, and written or dropped
    bool failed_[2] = {false, false};
    bool ending_ = false;
    std::thread thread_;  // last: starts once the rest is made
};

// The process's own stdout and stderr as a sink (SIGPIPE must be ignored on POSIX).
bool WriteStandardStream(OutputWriter::Stream stream, const std::string& text);

}  // namespace os
