// uidriver: works the firmware update program through window messages, as an operator
// would, from a list of steps on the command line. Exit status 0 when every step passed.
//
//   uidriver start=C:\t\FirmwareUpdate.exe click=1034 open-file=C:\t\fw.bin
//            expect-text=1038=K4417F click=1009 box=yes box=ok send-close wait-exit

#include <cstdio>
#include <string>
#include <vector>

#include "steps.h"

int main(int argc, char** argv) {
    StepRunner runner;
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i];
        std::vector<std::string> parts;
        size_t start = 0;
        for (size_t at; (at = step.find('=', start)) != std::string::npos; start = at + 1)
            parts.push_back(step.substr(start, at - start));
        parts.push_back(step.substr(start));
        std::string name = parts.front();
        parts.erase(parts.begin());

        std::printf("step %s\n", Escape(step).c_str());
        std::fflush(stdout);
        std::string error;
        if (!runner.Run(name, parts, error)) {
            std::printf("FAILED %s: %s\n", name.c_str(), error.c_str());
            std::fflush(stdout);
            runner.AbandonStarted();
            return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}
