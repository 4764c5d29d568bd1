#pragma once
// An instrument for the fuzz targets that answers from a script: every read delivers the
// next queued reply (or times out when none is left), every write is recorded. A real
// VISA library never delivers more than the maximum asked for, and neither does this one.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "visa/visa_library.h"

struct ScriptedReply {
    ViStatus status = VI_SUCCESS;
    std::string bytes;
};

struct ScriptedCall {
    bool write = false;
    ViStatus status = VI_SUCCESS;
    std::string bytes;  // written, or delivered by the read
};

class ScriptedInstrument : public VisaLibrary {
  public:
#define SCRIPTED_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(SCRIPTED_DECLARE_METHOD)
#undef SCRIPTED_DECLARE_METHOD

    std::deque<ScriptedReply> replies;
    // Consulted before a queued reply is taken: lets a harness answer a read from what has
    // been written so far (e.g. the right checksum). Returns false to use the queue.
    std::function<bool(ScriptedReply&)> answer;
    // Status of each write, in order; success once it runs out.
    std::deque<ViStatus> writeStatuses;
    std::vector<ScriptedCall> calls;
    int opens = 0;
    int closes = 0;
};
