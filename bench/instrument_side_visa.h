#pragma once
// Forwards to the simulated instrument, counting its allocations apart from the program's:
// a real instrument keeps the loaded bytes on its own side of the cable.

#include "heap_counter.h"
#include "visa/visa_functions.h"
#include "visa/visa_library.h"

class InstrumentSideVisa : public VisaLibrary {
  public:
    explicit InstrumentSideVisa(VisaLibrary& inner) : inner_(inner) {}
#define FORWARD_VISA_CALL(ordinal, name, params, args) \
    ViStatus name params override {                    \
        ExcludeFromHeapCount instrumentSide;           \
        return inner_.name args;                       \
    }
    VISA_FUNCTIONS(FORWARD_VISA_CALL)
#undef FORWARD_VISA_CALL

  private:
    VisaLibrary& inner_;
};
