#pragma once
// A VISA library whose answers the test writes down beforehand: the resources a search
// finds, the status of each call, the replies to reads. It records every call.

#include <deque>
#include <string>
#include <vector>

#include "visa/visa_library.h"

struct ScriptedRead {
    ViStatus status = VI_SUCCESS;
    std::string bytes;
    ViUInt32 reportedCount = 0;  // when nonzero, reported instead of bytes.size()
};

class ScriptedVisa : public VisaLibrary {
  public:
    // The search.
    std::vector<std::string> resources;
    ViStatus findStatus = VI_SUCCESS;
    ViUInt32 countOnFailure = 0;  // what a failing viFindRsrc leaves in the count

    ViStatus openStatus = VI_SUCCESS;
    ViStatus setAttributeStatus = VI_SUCCESS;
    std::deque<ViStatus> writeStatuses;  // VI_SUCCESS once empty
    std::deque<ScriptedRead> reads;      // an empty script times out

    // What was asked.
    std::vector<std::string> calls;  // "viOpen USB0::...", "viClose 7", ...
    std::vector<std::string> written;
    std::vector<ViUInt32> closed;
    std::string openedName;
    ViUInt32 openTimeout = 0;
    ViAccessMode openMode = 99;
    ViAttr attribute = 0;
    ViAttrState attributeValue = 0;
    ViUInt32 readMax = 0;

    static constexpr ViSession kRm = 1, kFindList = 2, kInstrument = 7;

    ViStatus viOpenDefaultRM(ViSession* vi) override {
        calls.push_back("viOpenDefaultRM");
        *vi = kRm;
        return VI_SUCCESS;
    }
    ViStatus viFindRsrc(ViSession, const ViChar* expr, ViFindList* list, ViUInt32* count,
                        ViChar* desc) override {
        calls.push_back(std::string("viFindRsrc ") + expr);
        if (findStatus != VI_SUCCESS) {
            *count = countOnFailure;
            return findStatus;
        }
        next_ = 0;
        *list = kFindList;
        *count = static_cast<ViUInt32>(resources.size());
        if (resources.empty()) return VI_ERROR_RSRC_NFOUND;
        return viFindNext(kFindList, desc);
    }
    ViStatus viFindNext(ViFindList, ViChar* desc) override {
        if (next_ >= resources.size()) return VI_ERROR_RSRC_NFOUND;
        // Copies as a library would, including names that fill the whole buffer unterminated.
        const std::string& name = resources[next_++];
        for (size_t i = 0; i < name.size() && i < VI_FIND_BUFLEN; ++i) desc[i] = name[i];
        if (name.size() < VI_FIND_BUFLEN) desc[name.size()] = '\0';
        return VI_SUCCESS;
    }
    ViStatus viOpen(ViSession, const ViChar* name, ViAccessMode mode, ViUInt32 timeout,
                    ViSession* vi) override {
        calls.push_back(std::string("viOpen ") + name);
        openedName = name;
        openMode = mode;
        openTimeout = timeout;
        if (openStatus != VI_SUCCESS) return openStatus;
        *vi = kInstrument;
        return VI_SUCCESS;
    }
    ViStatus viClose(ViObject vi) override {
        calls.push_back("viClose " + std::to_string(vi));
        closed.push_back(vi);
        return VI_SUCCESS;
    }
    ViStatus viSetAttribute(ViObject, ViAttr attr, ViAttrState value) override {
        calls.push_back("viSetAttribute");
        attribute = attr;
        attributeValue = value;
        return setAttributeStatus;
    }
    ViStatus viRead(ViSession, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override {
        calls.push_back("viRead");
        readMax = cnt;
        if (reads.empty()) {
            *retCnt = 0;
            return VI_ERROR_TMO;
        }
        ScriptedRead read = reads.front();
        reads.pop_front();
        for (size_t i = 0; i < read.bytes.size() && i < cnt; ++i) buf[i] = read.bytes[i];
        *retCnt =
            read.reportedCount ? read.reportedCount : static_cast<ViUInt32>(read.bytes.size());
        return read.status;
    }
    ViStatus viWrite(ViSession, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) override {
        calls.push_back("viWrite");
        written.emplace_back(reinterpret_cast<const char*>(buf), cnt);
        *retCnt = cnt / 2;  // never the whole count: only the status may matter
        if (writeStatuses.empty()) return VI_SUCCESS;
        ViStatus status = writeStatuses.front();
        writeStatuses.pop_front();
        return status;
    }

  private:
    size_t next_ = 0;
};
