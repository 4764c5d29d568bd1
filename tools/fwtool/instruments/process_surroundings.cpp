#include <cstdio>

#include "command_context.h"
#include "platform.h"
#include "visa/visa_loader.h"

namespace {

int WithLoadedVisa(OutputStream& err, const std::string& path, std::string& inUse,
                   const std::function<int(VisaLibrary&)>& body) {
    std::string tried;
    std::unique_ptr<VisaLibrary> visa = LoadVisaBackend(path, tried, inUse);
    if (!visa) {
        err.WriteLine("cannot load VISA library, tried: " + tried);
        return kExitNoVisaLibrary;
    }
    return body(*visa);
}

}  // namespace

ProcessSurroundings::ProcessSurroundings()
    : out_(stdout, false),
      err_(stderr, StderrIsTerminal()),
      context_{out_,
               err_,
               [this](const std::string& path, const std::function<int(VisaLibrary&)>& body) {
                   return WithLoadedVisa(err_, path, context_.visaInUse, body);
               },
               StdinIsTerminal(),
               ReadTerminalLine,
               SleepAtLeastMs,
               MonotonicMs,
               interrupted_} {
    SetInterruptFlag(interrupted_);
}
