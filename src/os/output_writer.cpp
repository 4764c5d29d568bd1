#include "os/output_writer.h"

#include <algorithm>

namespace os {

OutputWriter::OutputWriter(Sink sink) : sink_(std::move(sink)), thread_([this] { Run(); }) {}

OutputWriter::~OutputWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void OutputWriter::Queue(Line line) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_[line.stream]) return;
        if (!line.key.empty()) {
            auto waiting = std::find_if(queue_.begin(), queue_.end(),
                                        [&](const Line& l) { return l.key == line.key; });
            if (waiting != queue_.end()) {
                queue_.erase(waiting);
                ++done_;
            }
        }
        queue_.push_back(std::move(line));
        ++queued_;
    }
    changed_.notify_all();
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

void OutputWriter::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t target = queued_;
    changed_.wait(lock, [&] { return done_ >= target; });
}

bool OutputWriter::failed(Stream stream) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_[stream];
}

void OutputWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return ending_ || !queue_.empty(); });
        if (queue_.empty()) return;  // ending, and everything written
        Line line = std::move(queue_.front());
        queue_.pop_front();
        const bool write = !failed_[line.stream];
        lock.unlock();
        bool ok = true;
        if (write) ok = sink_(line.stream, line.render ? line.render() : line.text);
        lock.lock();
        if (!ok) failed_[line.stream] = true;
        ++done_;
        changed_.notify_all();
    }
}

}  // namespace os
