// fwsim-usbtmc: runs a command among simulated instruments offered by the kernel's USBTMC
// driver, as umockdev fakes it (sim_usbtmc_bus.h): the command is the real program on the
// real libudev and system calls, with LD_PRELOAD and UMOCKDEV_DIR set for it.
//
//   fwsim-usbtmc [--scenario FILE] [--record FILE] [--reenumerate-ms N]
//                [--unplug SERIAL:SECTION] [--transfer-bytes N] [--old-driver 1]
//                [--deadline SECONDS] -- COMMAND [ARG...]
//
// The scenario and the record are those of libfwsim-visa.so (sim_scenario.h,
// sim_record_file.h). Exits with the command's status; 124 when the command did not end
// within the deadline (it is killed), 125 on a usage error.

#include <link.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "sim_library.h"
#include "sim_usbtmc_bus.h"

namespace {

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "fwsim-usbtmc: %s\nusage: fwsim-usbtmc [--scenario FILE] [--record FILE] "
                 "[--reenumerate-ms N] [--unplug SERIAL:SECTION] [--transfer-bytes N] "
                 "[--old-driver 1] [--deadline SECONDS] -- "
                 "COMMAND [ARG...]\n",
                 problem);
    return 125;
}

// The AddressSanitizer runtime this program was linked with, when it was: a sanitized
// command needs it loaded before the umockdev preload, or it refuses to start.
std::string SanitizerRuntime() {
    std::string found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("/libasan.so") == std::string::npos) return 0;
            *static_cast<std::string*>(out) = name;
            return 1;
        },
        &found);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenario, record;
    SimUsbtmcOptions options;
    int deadlineSeconds = 600;
    int at = 1;
    for (; at < argc && std::string(argv[at]) != "--"; at += 2) {
        const std::string option = argv[at];
        if (at + 1 >= argc) return Usage("an option lacks its value");
        const std::string value = argv[at + 1];
        if (option == "--scenario") {
            scenario = value;
        } else if (option == "--record") {
            record = value;
        } else if (option == "--reenumerate-ms") {
            options.reenumerateMs = static_cast<uint32_t>(std::stoul(value));
        } else if (option == "--transfer-bytes") {
            options.transferBytes = static_cast<uint32_t>(std::stoul(value));
        } else if (option == "--old-driver") {
            options.oldDriver = value == "1";
        } else if (option == "--deadline") {
            deadlineSeconds = std::stoi(value);
        } else if (option == "--unplug" && value.find(':') != std::string::npos) {
            options.unplugSerial = value.substr(0, value.find(':'));
            options.unplugSection = std::stoi(value.substr(value.find(':') + 1));
        } else {
            return Usage(("unknown option " + option).c_str());
        }
    }
    if (at + 1 >= argc) return Usage("no command");

    SimLibrary library(scenario, record);
    if (!library.visa()) return Usage("the scenario cannot be read");
    SimUsbtmcBus bus(*library.visa(), options);

    const pid_t child = fork();
    if (child < 0) return Usage("cannot start the command");
    if (child == 0) {
        const char* preload = std::getenv("LD_PRELOAD");
        const std::string sanitizer = SanitizerRuntime();
        const std::string preloads = (sanitizer.empty() ? "" : sanitizer + ":") +
                                     "libumockdev-preload.so.0" +
                                     (preload ? std::string(":") + preload : "");
        setenv("LD_PRELOAD", preloads.c_str(), 1);
        setenv("UMOCKDEV_DIR", bus.root().c_str(), 1);
        execvp(argv[at + 1], argv + at + 1);
        std::perror(argv[at + 1]);
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            std::fprintf(stderr, "fwsim-usbtmc: %s did not end within %d s\n", argv[at + 1],
                         deadlineSeconds);
            return 124;
        }
        bus.Poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
