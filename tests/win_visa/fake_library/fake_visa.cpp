// A stand-in VISA library for the binding's tests. Its exports are laid out to tell the
// binding's choices apart: viOpen's name and ordinal 131 lead to different functions,
// viRead is exported by ordinal only, viSetAttribute not at all.

#include "visa/visa_types.h"

namespace {
constexpr ViSession kRm = 0x51;
constexpr ViSession kInstrument = 0x77;
constexpr char kResource[] = "USB0::0x0D3F::0x1141::TW00000001::INSTR";
constexpr char kReply[] = "fake corp.,k4417f\n";
}  // namespace

// Every status this library returns on success paths is 0; the decoy returns this.
constexpr ViStatus kDecoyStatus = 0x0BADC0DE;

extern "C" {

ViStatus __stdcall fakeOpenDefaultRM(ViSession* vi) {
    *vi = kRm;
    return VI_SUCCESS;
}

ViStatus __stdcall fakeFindRsrc(ViSession sesn, const ViChar*, ViFindList* list, ViUInt32* count,
                                ViChar* desc) {
    if (sesn != kRm) return VI_ERROR_INV_OBJECT;
    *list = 0x52;
    *count = 1;
    for (int i = 0; (desc[i] = kResource[i]) != '\0'; ++i) {
    }
    return VI_SUCCESS;
}

ViStatus __stdcall fakeFindNext(ViFindList, ViChar*) {
    return VI_ERROR_RSRC_NFOUND;
}

ViStatus __stdcall fakeOpen(ViSession sesn, const ViChar*, ViAccessMode, ViUInt32, ViSession* vi) {
    if (sesn != kRm) return VI_ERROR_INV_OBJECT;
    *vi = kInstrument;
    return VI_SUCCESS;
}

// What ordinal 131 leads to in this library.
ViStatus __stdcall fakeDecoy(ViSession, const ViChar*, ViAccessMode, ViUInt32, ViSession*) {
    return kDecoyStatus;
}

ViStatus __stdcall fakeClose(ViObject) {
    return VI_SUCCESS;
}

ViStatus __stdcall fakeRead(ViSession vi, ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt) {
    if (vi != kInstrument) return VI_ERROR_INV_OBJECT;
    ViUInt32 n = 0;
    for (; kReply[n] != '\0' && n < cnt; ++n) buf[n] = static_cast<ViByte>(kReply[n]);
    *retCnt = n;
    return VI_SUCCESS;
}

ViStatus __stdcall fakeWrite(ViSession vi, const ViByte*, ViUInt32 cnt, ViUInt32* retCnt) {
    if (vi != kInstrument) return VI_ERROR_INV_OBJECT;
    *retCnt = cnt;
    return VI_SUCCESS;
}

}  // extern "C"
