#pragma once
// The one interface through which the program reaches instruments: the eight VISA calls.
//
// Implementations:
//  - the Windows binding (visa/win/), which loads the installed VISA library at run time;
//  - the POSIX binding (visa/posix/), the same for a Linux shared library (dlopen);
//  - the kernel's USBTMC driver (visa/usbtmc/, Linux), built in;
//  - the simulated instrument (sim/), used in-process by the tests.
// The two bindings are the backends of LoadVisaLibrary; visa_loader.h says what each
// must provide.
//
// Contract, as the program relies on it: every call returns 0 exactly when it succeeded;
// any other status (errors and positive completion codes alike) is a failure. Outputs are
// written only as each standard call describes; a library that is missing answers every
// call with a failure status.

#include <string>

#include "visa/visa_functions.h"

class VisaLibrary {
  public:
    virtual ~VisaLibrary() = default;

#define VISA_DECLARE_METHOD(ordinal, name, params, args) virtual ViStatus name params = 0;
    VISA_FUNCTIONS(VISA_DECLARE_METHOD)
#undef VISA_DECLARE_METHOD

    // Why the calling user may not open `resource`, naming what would grant access; empty
    // when nothing is known against it. Only a backend that opens device nodes itself can
    // tell before the open; vendor libraries cannot.
    virtual std::string AccessProblem(const std::string&) {
        return std::string();
    }
};
