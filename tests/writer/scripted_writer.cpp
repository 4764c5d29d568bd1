#include "scripted_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "writer/writer_frame.h"

// Sessions are not what this writer is about: the link writes and reads on session 0.
ViStatus ScriptedWriter::viOpenDefaultRM(ViSession*) {
    return VI_ERROR_SYSTEM_ERROR;
}
ViStatus ScriptedWriter::viFindRsrc(ViSession, const ViChar*, ViFindList*, ViUInt32*, ViChar*) {
    return VI_ERROR_SYSTEM_ERROR;
}
ViStatus ScriptedWriter::viFindNext(ViFindList, ViChar*) {
    return VI_ERROR_SYSTEM_ERROR;
}
ViStatus ScriptedWriter::viOpen(ViSession, const ViChar*, ViAccessMode, ViUInt32, ViSession*) {
    return VI_ERROR_SYSTEM_ERROR;
}
ViStatus ScriptedWriter::viClose(ViObject) {
    return VI_SUCCESS;
}
ViStatus ScriptedWriter::viSetAttribute(ViObject, ViAttr, ViAttrState) {
    return VI_ERROR_SYSTEM_ERROR;
}

ViStatus ScriptedWriter::viRead(ViSession, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    ++reads;
    ScriptedReply reply;
    if (!replies.empty()) {
        reply = replies.front();
        replies.pop_front();
    } else if (endless) {
        reply.text = endless;
    } else {
        reply.status = VI_ERROR_TMO;
    }
    trace_.push_back(reply.status == VI_SUCCESS ? "read" : "read failed");
    const ViUInt32 n = std::min<ViUInt32>(cnt, static_cast<ViUInt32>(reply.text.size()));
    std::memcpy(buf, reply.text.data(), n);
    *retCnt = reply.status == VI_ERROR_TMO ? 0 : n;
    return reply.status;
}

ViStatus ScriptedWriter::viWrite(ViSession, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    if (++writeCount_ == failWrite) {
        trace_.push_back("write failed");
        *retCnt = 0;
        return VI_ERROR_IO;
    }
    writes.emplace_back(buf, buf + cnt);
    if (cnt == 12 && buf[0] == kFrameStart) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "frame %02X", buf[5]);
        trace_.push_back(entry);
    } else {
        trace_.push_back("write " + std::to_string(cnt));
    }
    *retCnt = cnt;
    return VI_SUCCESS;
}

WriterProtocolTest::WriterProtocolTest() {
    window.onSleep = [this](uint32_t ms) { trace.push_back("sleep " + std::to_string(ms)); };
    window.onPump = [this] { trace.push_back("pump"); };
}

void WriterProtocolTest::ScriptAcceptedSection(uint32_t checksum) {
    writer.Reply("OK");  // reset
    writer.Reply("OK");  // the loaded bytes
    writer.Reply("OK");  // end of load
    writer.Reply("OK");  // section selected
    writer.Reply("OK");  // checksum length
    writer.Reply(std::to_string(checksum));
    writer.Reply("OK");  // flash check
}

std::vector<std::vector<uint8_t>> WriterProtocolTest::Frames() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& w : writer.writes)
        if (w.size() == 12 && w[0] == kFrameStart) out.push_back(w);
    return out;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}
