#include "command_context.h"
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
    : stop_([this] { Acknowledge(); }),
      writer_(os::WriteStandardStream, &stop_.requested()),
      out_(writer_, os::OutputWriter::kOut, false),
      err_(writer_, os::OutputWriter::kErr, os::StderrIsTerminal()),
      context_{out_,
               err_,
               [this](const std::string& path, const std::function<int(VisaLibrary&)>& body) {
                   return WithLoadedVisa(err_, path, context_.visaInUse, body);
               },
               os::StdinIsTerminal(),
               [this](const std::string& question, std::string& answer) {
                   writer_.Flush();  // what was said before the question comes before it
                   return os::AskTerminal(question, answer, stop_.requested());
               },
               clock_,
               stop_.requested()} {
    context_.stopStatus = [this] { return ExitStatus(kExitInterrupted); };
}

ProcessSurroundings::~ProcessSurroundings() {
    writer_.Close();  // within 2 s: the report is on the disk, a reader that never reads loses
    stop_.Finished();
}

void ProcessSurroundings::Acknowledge() {
    // Said once, however often the job is told to end.
    if (!acknowledged_.exchange(true))
        err_.WriteLine("fwtool: stopping; finishing the section being written");
}

int ProcessSurroundings::ExitStatus(int commandStatus) const {
    return commandStatus == kExitInterrupted && stop_.signal() != 0 ? 128 + stop_.signal()
                                                                    : commandStatus;
}
