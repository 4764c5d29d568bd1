#pragma once
// Firmware files for tests and benchmarks: the tools' firmware writer with its ready-made
// K4417F file, and temporary files on disk.
//
//   TempFile file(ValidK4417F().Bytes());   // removed again at the end of the scope

#include <string>

#include "firmware_writer.h"
#include "sample_firmware.h"

using TestSection = FileSection;

// A file on disk holding `bytes`, removed when the object goes out of scope.
class TempFile {
  public:
    explicit TempFile(const std::string& bytes, const std::string& suffix = ".fw");
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
