#pragma once
// The eight VISA entry points the program uses, declared once. Each row gives the
// standard ordinal, the exported name, the parameter list and the argument names;
// the dynamic binding, the simulated library and its export table are all built from it.
//
//   X(ordinal, name, (parameters), (arguments))

#include "visa/visa_types.h"

#define VISA_FUNCTIONS(X)                                                                  \
    X(141, viOpenDefaultRM, (ViSession * vi), (vi))                                        \
    X(129, viFindRsrc,                                                                     \
      (ViSession sesn, const ViChar* expr, ViFindList* findList, ViUInt32* retCnt,         \
       ViChar* desc),                                                                      \
      (sesn, expr, findList, retCnt, desc))                                                \
    X(130, viFindNext, (ViFindList findList, ViChar * desc), (findList, desc))             \
    X(131, viOpen,                                                                         \
      (ViSession sesn, const ViChar* name, ViAccessMode mode, ViUInt32 timeout,            \
       ViSession* vi),                                                                     \
      (sesn, name, mode, timeout, vi))                                                     \
    X(132, viClose, (ViObject vi), (vi))                                                   \
    X(134, viSetAttribute, (ViObject vi, ViAttr attrName, ViAttrState attrValue),          \
      (vi, attrName, attrValue))                                                           \
    X(256, viRead, (ViSession vi, ViByte * buf, ViUInt32 cnt, ViUInt32 * retCnt),          \
      (vi, buf, cnt, retCnt))                                                              \
    X(257, viWrite, (ViSession vi, const ViByte* buf, ViUInt32 cnt, ViUInt32* retCnt),     \
      (vi, buf, cnt, retCnt))
