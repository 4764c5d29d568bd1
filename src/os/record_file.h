#pragma once
// A file that keeps a record line by line (fwtool's report): every Append puts one whole
// line at the end of the file, under an exclusive lock of the file (so that lines of
// several processes never interleave, even where appending is not atomic, as on network
// file systems), and has it on the disk before it returns. Paths are UTF-8.

#include <memory>
#include <string>

namespace os {

class RecordFile {
  public:
    RecordFile();
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens `path` for appending, creating it when missing. 0 or the system's error number.
    int Open(const std::string& path);
    bool IsOpen() const;
    // 0 once `line` is written whole and flushed to the disk, else the system's error
    // number (a short write is completed, an interrupted one retried).
    int Append(const std::string& line);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The system's text for an error number of Open or Append.
std::string SystemErrorText(int error);

}  // namespace os
