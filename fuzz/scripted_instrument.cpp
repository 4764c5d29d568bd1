#include "scripted_instrument.h"

#include <cstring>

namespace {
constexpr ViSession kResourceManager = 1;
constexpr ViSession kInstrument = 2;
}  // namespace

ViStatus ScriptedInstrument::viOpenDefaultRM(ViSession* vi) {
    *vi = kResourceManager;
    return VI_SUCCESS;
}

ViStatus ScriptedInstrument::viFindRsrc(ViSession, const ViChar*, ViFindList* findList,
                                        ViUInt32* retCnt, ViChar* desc) {
    static const char kName[] = "USB0::0x0D3F::0x1141::TW00000001::INSTR";
    std::memcpy(desc, kName, sizeof kName);
    *retCnt = 1;
    *findList = 3;
    return VI_SUCCESS;
}

ViStatus ScriptedInstrument::viFindNext(ViFindList, ViChar*) {
    return VI_ERROR_RSRC_NFOUND;
}

ViStatus ScriptedInstrument::viOpen(ViSession, const ViChar*, ViAccessMode, ViUInt32,
                                    ViSession* vi) {
    ++opens;
    *vi = kInstrument;
    return VI_SUCCESS;
}

ViStatus ScriptedInstrument::viClose(ViObject) {
    ++closes;
    return VI_SUCCESS;
}

ViStatus ScriptedInstrument::viSetAttribute(ViObject, ViAttr, ViAttrState) {
    return VI_SUCCESS;
}

ViStatus ScriptedInstrument::viRead(ViSession, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    ScriptedReply reply;
    if (!(answer && answer(reply))) {
        if (replies.empty()) {
            reply.status = VI_ERROR_TMO;
        } else {
            reply = std::move(replies.front());
            replies.pop_front();
        }
    }
    // What does not fit the maximum is cut, and the library says so.
    if (reply.bytes.size() > cnt) {
        reply.bytes.resize(cnt);
        if (reply.status == VI_SUCCESS) reply.status = VI_SUCCESS_MAX_CNT;
    }
    if (!reply.bytes.empty()) std::memcpy(buf, reply.bytes.data(), reply.bytes.size());
    *retCnt = static_cast<ViUInt32>(reply.bytes.size());
    calls.push_back({false, reply.status, reply.bytes});
    return reply.status;
}

ViStatus ScriptedInstrument::viWrite(ViSession, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    ViStatus status = VI_SUCCESS;
    if (!writeStatuses.empty()) {
        status = writeStatuses.front();
        writeStatuses.pop_front();
    }
    *retCnt = status == VI_SUCCESS ? cnt : 0;
    calls.push_back({true, status, std::string(reinterpret_cast<const char*>(buf), cnt)});
    return status;
}
