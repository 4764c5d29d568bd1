#pragma once
// The command line's stdout and stderr, written by one thread of their own: a run that
// reports a line only queues it, so no instrument waits for a slow terminal or pipe
// between two frames. Lines keep the order in which they were queued, across both streams.
//  - Lines are never dropped while their stream works. Progress, queued with a key, is
//    coalesced instead: of the lines of one key still waiting, only the newest is written,
//    so a slow reader costs at most one waiting progress line per key.
//  - A stream that fails (closed pipe, full disk) is written no more: its lines are
//    dropped, nothing blocks and the runs go on.
//  - Nothing waits on a reader for ever: once a stop is requested, and when the writer is
//    destroyed, what is still waiting gets kDrainMs and is then dropped (with every later
//    line); a thread still stuck in a write is left to the process's end.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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

    // How long pending lines may still take once the writer is ending or stopped.
    static constexpr uint32_t kDrainMs = 2000;

    // `stop` (may be null): once set, Flush waits no longer than kDrainMs.
    explicit OutputWriter(Sink sink, const std::atomic<bool>* stop = nullptr);
    ~OutputWriter();  // writes what is queued, within kDrainMs, then ends the thread
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    void Write(Stream stream, std::string text);
    void Write(Stream stream, Render render);
    // Replaces a line of `key` still waiting; the new one is queued last.
    void WriteLatest(const std::string& key, Stream stream, Render render);
    // Returns once every line queued before the call is written or dropped: those still
    // waiting kDrainMs after a stop was seen, or after `withinMs`, are dropped.
    void Flush(uint32_t withinMs = UINT32_MAX);
    // Writes what is queued, within kDrainMs, and drops the rest and every later line;
    // true when all was written. The destructor's first step.
    bool Close();
    bool failed(Stream stream) const;

  private:
    struct Line;
    struct State;  // shared with the thread, which may outlive the writer
    void Queue(Line line);
    std::shared_ptr<State> state_;
    const std::atomic<bool>* stop_;
    std::thread thread_;  // last: starts once the rest is made
};

// The process's own stdout and stderr as a sink (SIGPIPE must be ignored on POSIX).
bool WriteStandardStream(OutputWriter::Stream stream, const std::string& text);

}  // namespace os
