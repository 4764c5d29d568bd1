#pragma once
// The VISA types and status values the program uses, with the widths of the standard
// library's own declarations: every integer type 32 bits wide on 32- and 64-bit Windows
// and on LP64 Linux alike, except ViAttrState, which is pointer-sized (64 bits on 64-bit
// Windows and on LP64 Linux).

#include <cstdint>

using ViStatus = int32_t;
using ViUInt32 = uint32_t;
using ViObject = uint32_t;
using ViSession = ViObject;
using ViFindList = ViObject;
using ViAttr = uint32_t;
using ViAttrState = uintptr_t;
using ViAccessMode = uint32_t;
using ViChar = char;
using ViByte = unsigned char;

static_assert(sizeof(ViStatus) == 4 && sizeof(ViUInt32) == 4 && sizeof(ViObject) == 4 &&
                  sizeof(ViAttr) == 4 && sizeof(ViAccessMode) == 4,
              "VISA integers are 32 bits on every platform");
static_assert(sizeof(ViAttrState) == sizeof(void*), "ViAttrState is pointer-sized");

constexpr ViStatus VI_SUCCESS = 0;
constexpr ViStatus VI_SUCCESS_TERM_CHAR = 0x3FFF0005;
constexpr ViStatus VI_SUCCESS_MAX_CNT = 0x3FFF0006;
constexpr ViStatus VI_ERROR_SYSTEM_ERROR = static_cast<ViStatus>(0xBFFF0000u);
constexpr ViStatus VI_ERROR_INV_OBJECT = static_cast<ViStatus>(0xBFFF000Eu);
constexpr ViStatus VI_ERROR_RSRC_NFOUND = static_cast<ViStatus>(0xBFFF0011u);
constexpr ViStatus VI_ERROR_INV_EXPR = static_cast<ViStatus>(0xBFFF0010u);
constexpr ViStatus VI_ERROR_TMO = static_cast<ViStatus>(0xBFFF0015u);
constexpr ViStatus VI_ERROR_NSUP_ATTR = static_cast<ViStatus>(0xBFFF001Du);
constexpr ViStatus VI_ERROR_IO = static_cast<ViStatus>(0xBFFF003Eu);
constexpr ViStatus VI_ERROR_CONN_LOST = static_cast<ViStatus>(0xBFFF00A6u);
constexpr ViStatus VI_ERROR_LIBRARY_NFOUND = static_cast<ViStatus>(0xBFFF009Eu);

constexpr ViAttr VI_ATTR_TMO_VALUE = 0x3FFF001A;
constexpr ViAccessMode VI_NULL = 0;
constexpr int VI_FIND_BUFLEN = 256;
