#pragma once
// A VISA library reached through entry points looked up at run time: the part both
// backends of LoadVisaLibrary share (visa_loader.h). A backend loads the library, binds
// the eight entry points once with Bind, and keeps the library loaded while it lives.

#include "visa/visa_library.h"

// The calling convention of the standard VISA declarations.
#ifdef _WIN32
#define VISA_CALL __stdcall
#else
#define VISA_CALL
#endif

class BoundVisaLibrary : public VisaLibrary {
  public:
    // An entry the library lacks, or every entry when nothing was bound, answers
    // VI_ERROR_LIBRARY_NFOUND and writes no output; never a call through a null pointer.
#define VISA_BOUND_DECLARE_METHOD(ordinal, name, params, args) ViStatus name params override;
    VISA_FUNCTIONS(VISA_BOUND_DECLARE_METHOD)
#undef VISA_BOUND_DECLARE_METHOD

    // Entries bound to an address (at most eight).
    int boundCount() const;

  protected:
    using Entry = void (*)();
    // Binds every entry point to `lookup(ordinal, name)`, which gives nullptr for one the
    // library lacks.
    template <typename Lookup>
    void Bind(Lookup lookup) {
#define VISA_BOUND_BIND(ordinal, name, params, args) \
    name##_ = reinterpret_cast<name##Fn>(lookup(ordinal, #name));
        VISA_FUNCTIONS(VISA_BOUND_BIND)
#undef VISA_BOUND_BIND
    }

  private:
#define VISA_BOUND_POINTER_TYPE(ordinal, name, params, args) \
    using name##Fn = ViStatus(VISA_CALL*) params;            \
    name##Fn name##_ = nullptr;
    VISA_FUNCTIONS(VISA_BOUND_POINTER_TYPE)
#undef VISA_BOUND_POINTER_TYPE
};
