#pragma once
// Writes every call and violation to a file as JSON lines, flushed line by line, so that a
// test can read what the program sent even if the program is killed:
//   {"op":"viWrite","nth":3,"resource":"USB0::...","status":0,"t":120,"count":12,"arg":12,
//    "hex":"ab000000070a...","text":"..."}
//   {"violation":"TW00000001: only 9 ms after the reset frame (10 ms needed)"}
//   {"error":"cannot open scenario file ..."}
// "hex" and "text" hold the recorded bytes (see kSimRecordedWhole); "count" is the true size.

#include <cstdio>
#include <string>

#include "base/stdio_file.h"
#include "sim_visa.h"

class SimFileRecorder : public SimRecorder {
  public:
    // Truncates the file; an empty path or a file that cannot be opened records nothing.
    explicit SimFileRecorder(const std::string& path);
    bool ok() const { return file_.valid(); }

    void OnCall(const SimCall& call) override;
    void OnViolation(const std::string& text) override;
    void OnError(const std::string& text);

  private:
    void WriteLine(const std::string& line);
    StdioFile file_;
};
