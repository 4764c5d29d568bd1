#pragma once
// A file that keeps a record line by line (fwtool's report): every Append puts one whole
// line at the end of the file, under an exclusive lock of the file (so that lines of
// several processes never interleave, even where appending is not atomic, as on network
// file systems), and has it on the disk before it returns. Appends of one process are taken
// one at a time (the file's lock does not tell its threads apart), and one that fails or
// comes out short is cut back to the size before it: the file only ever holds whole lines.
// Paths are UTF-8.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace os {

class RecordFile {
  public:
    // `stop` (may be null): once set, the file's lock is awaited no longer than 2 s.
    explicit RecordFile(const std::atomic<bool>* stop = nullptr);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens `path` for appending, creating it when missing. 0 or the system's error number.
    int Open(const std::string& path);
    bool IsOpen() const;
    // 0 once `line` is written whole and flushed to the disk, else the system's error
    // number (a short write is completed, an interrupted one retried) and the file as it was.
    int Append(const std::string& line);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::mutex appending_;
};

// The system's text for an error number of Open or Append.
std::string SystemErrorText(int error);

}  // namespace os
