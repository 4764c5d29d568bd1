#pragma once
// A writer on the far side of VISA that answers from a script, and the fixture that puts it
// behind an InstrumentLink and a recording window. Everything the program does reaches one
// trace, in order: "frame 0A" (a 12-byte frame, by its command byte), "write 6" (any other
// write, by its size), "write failed", "read", "read failed", "sleep 10", "pump".

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "instrument/instrument_link.h"
#include "recording_window.h"
#include "visa/visa_library.h"

struct ScriptedReply {
    ViStatus status = VI_SUCCESS;
    std::string text;
};

class ScriptedWriter : public VisaLibrary {
  public:
    explicit ScriptedWriter(std::vector<std::string>& trace) : trace_(trace) {}

    // Replies in the order they are read; with none left a read times out, unless
    // `endless` is set, which then answers every further read.
    std::deque<ScriptedReply> replies;
    const char* endless = nullptr;
    int reads = 0;
    // The nth write (1-based) fails; 0: none does.
    int failWrite = 0;
    std::vector<std::vector<uint8_t>> writes;  // every successful write, as sent

    void Reply(const std::string& text) { replies.push_back({VI_SUCCESS, text}); }

    ViStatus viOpenDefaultRM(ViSession* vi) override;
    ViStatus viFindRsrc(ViSession, const ViChar*, ViFindList*, ViUInt32*, ViChar*) override;
    ViStatus viFindNext(ViFindList, ViChar*) override;
    ViStatus viOpen(ViSession, const ViChar*, ViAccessMode, ViUInt32, ViSession*) override;
    ViStatus viClose(ViObject) override;
    ViStatus viSetAttribute(ViObject, ViAttr, ViAttrState) override;
    ViStatus viRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override;
    ViStatus viWrite(ViSession vi, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override;

  private:
    std::vector<std::string>& trace_;
    int writeCount_ = 0;
};

class WriterProtocolTest : public ::testing::Test {
  protected:
    WriterProtocolTest();

    // The replies of a section that the writer accepts up to the flash write.
    void ScriptAcceptedSection(uint32_t checksum);
    // The bytes of the written frames, in order.
    std::vector<std::vector<uint8_t>> Frames() const;

    std::vector<std::string> trace;
    ScriptedWriter writer{trace};
    RecordingWindow window;
    InstrumentLink link{writer, window, "0x0d3f", "0x1141"};
};

std::vector<uint8_t> Bytes(const std::string& text);
