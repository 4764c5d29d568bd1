#include <cstdio>

#include "command_context.h"
#include "visa/visa_loader.h"

namespace {

int WithLoadedVisa(OutputStream& err, const std::string& path,
                   const std::function<int(VisaLibrary&)>& body) {
    std::string tried;
    std::unique_ptr<VisaLibrary> visa = LoadVisaLibrary(path, tried);
    if (!visa) {
        err.WriteLine("cannot load VISA library, tried: " + tried);
        return kExitNoVisaLibrary;
    }
    return body(*visa);
}

}  // namespace

ProcessSurroundings::ProcessSurroundings()
    : out_(stdout, false),
      err_(stderr, os::StderrIsTerminal()),
      context_{out_,
               err_,
               [this](const std::string& path, const std::function<int(VisaLibrary&)>& body) {
                   return WithLoadedVisa(err_, path, body);
               },
               os::StdinIsTerminal(),
               os::ReadTerminalLine,
               clock_,
               interrupted_} {
    os::WatchStopSignals(interrupted_);
}
