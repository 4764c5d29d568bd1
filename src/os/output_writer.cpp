#include "os/output_writer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace os {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

struct OutputWriter::Line {
    Stream stream;
    std::string text;
    Render render;
    std::string key;
};

struct OutputWriter::State {
    explicit State(Sink s) : sink(std::move(s)) {}

    // Waits until `done` holds, or `deadline` (if set) has passed; true when it holds.
    template <typename Done, typename Deadline>
    bool WaitFor(std::unique_lock<std::mutex>& lock, Done done, Deadline deadline) {
        while (!done()) {
            if (deadline()) return false;
            changed.wait_for(lock, std::chrono::milliseconds(100));
        }
        return true;
    }
    // Drops what waits and whatever comes later. Called with the mutex held.
    void Abandon() {
        done += queue.size();
        queue.clear();
        failed[kOut] = failed[kErr] = true;
        changed.notify_all();
    }
    void Run();

    Sink sink;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Line> queue;
    uint64_t queued = 0, done = 0;  // lines ever queued, and written or dropped
    bool failed[2] = {false, false};
    bool ending = false;
};

void OutputWriter::State::Run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return ending || !queue.empty(); });
        if (queue.empty()) return;  // ending, and everything written
        Line line = std::move(queue.front());
        queue.pop_front();
        const bool write = !failed[line.stream];
        // Rendered under the lock: once a line is dropped, nothing of its maker is used.
        const std::string text = write && line.render ? line.render() : line.text;
        lock.unlock();
        bool ok = true;
        if (write) ok = sink(line.stream, text);
        lock.lock();
        if (!ok) failed[line.stream] = true;
        ++done;
        changed.notify_all();
    }
}

OutputWriter::OutputWriter(Sink sink, const std::atomic<bool>* stop)
    : state_(std::make_shared<State>(std::move(sink))),
      stop_(stop),
      thread_([state = state_] { state->Run(); }) {}

OutputWriter::~OutputWriter() {
    if (Close()) {
        thread_.join();
        return;
    }
    // A thread stuck in a write keeps the state it shares until the process ends.
    thread_.detach();
}

bool OutputWriter::Close() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->ending = true;
    state_->changed.notify_all();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kDrainMs);
    const bool drained = state_->WaitFor(
        lock, [&] { return state_->done >= state_->queued; },
        [&] { return Clock::now() > deadline; });
    if (!drained) state_->Abandon();
    return drained;
}

void OutputWriter::Queue(Line line) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->failed[line.stream]) return;
        if (!line.key.empty()) {
            auto waiting = std::find_if(state_->queue.begin(), state_->queue.end(),
                                        [&](const Line& l) { return l.key == line.key; });
            if (waiting != state_->queue.end()) {
                state_->queue.erase(waiting);
                ++state_->done;
            }
        }
        state_->queue.push_back(std::move(line));
        ++state_->queued;
    }
    state_->changed.notify_all();
}

void OutputWriter::Write(Stream stream, std::string text) {
    Queue(Line{stream, std::move(text), nullptr, std::string()});
}

void OutputWriter::Write(Stream stream, Render render) {
    Queue(Line{stream, std::string(), std::move(render), std::string()});
}

void OutputWriter::WriteLatest(const std::string& key, Stream stream, Render render) {
    Queue(Line{stream, std::string(), std::move(render), key});
}

void OutputWriter::Flush(uint32_t withinMs) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    const uint64_t target = state_->queued;
    const Clock::time_point began = Clock::now();
    Clock::time_point stoppedAt{};
    const bool flushed = state_->WaitFor(
        lock, [&] { return state_->done >= target; },
        [&] {
            const Clock::time_point now = Clock::now();
            if (withinMs != UINT32_MAX && now - began > std::chrono::milliseconds(withinMs))
                return true;
            if (!stop_ || !*stop_) return false;
            if (stoppedAt == Clock::time_point{}) stoppedAt = now;
            return now - stoppedAt > std::chrono::milliseconds(kDrainMs);
        });
    if (!flushed) state_->Abandon();
}

bool OutputWriter::failed(Stream stream) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->failed[stream];
}

}  // namespace os
