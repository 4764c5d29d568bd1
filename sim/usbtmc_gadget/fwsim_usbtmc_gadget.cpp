// fwsim-usbtmc-gadget: one simulated instrument as a real USB device for the host's own
// usbtmc driver, through the kernel's gadget framework (configfs and FunctionFS) on a UDC,
// such as one of dummy_hcd's. Runs until killed.
//
//   fwsim-usbtmc-gadget --udc UDC --scenario FILE [--index N] [--record FILE]
//                       [--reenumerate-ms N] [--late-ms N] [--unplug SECTION]
//                       [--fault late|split|silent|stall:NTH]...
//
// The scenario and the record are those of libfwsim-visa.so (sim_scenario.h,
// sim_record_file.h); the device is the scenario's instrument N (from 0), with the vendor,
// product and serial of its resource name. A fault plays on the host's NTH reply request.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "gadget_port.h"
#include "sim_library.h"
#include "usbtmc_function.h"

namespace {

int Usage(const std::string& problem) {
    std::fprintf(stderr,
                 "fwsim-usbtmc-gadget: %s\nusage: fwsim-usbtmc-gadget --udc UDC --scenario FILE "
                 "[--index N] [--record FILE] [--reenumerate-ms N] [--late-ms N] "
                 "[--unplug SECTION] [--fault late|split|silent|stall:NTH]...\n",
                 problem.c_str());
    return 2;
}

// "USB0::0x0D3F::0x1141::TW00012345::INSTR": the ids and the serial.
bool IdentityOf(const std::string& resource, GadgetIdentity& id) {
    std::string fields[4];
    size_t at = 0;
    for (std::string& field : fields) {
        const size_t end = resource.find("::", at);
        if (end == std::string::npos) return false;
        field = resource.substr(at, end - at);
        at = end + 2;
    }
    id.vendor = static_cast<uint16_t>(std::strtoul(fields[1].c_str(), nullptr, 16));
    id.product = static_cast<uint16_t>(std::strtoul(fields[2].c_str(), nullptr, 16));
    id.serial = fields[3];
    id.interfaceClass = 0xfe, id.interfaceSubClass = 3, id.interfaceProtocol = 1;
    return true;
}

// "split:2": the fault and the reply request it plays on.
bool ParseReplyFault(const std::string& text, std::map<int, ReplyFault>& faults) {
    static const std::pair<const char*, ReplyFault> kKinds[] = {{"late", ReplyFault::kLate},
                                                                {"split", ReplyFault::kSplit},
                                                                {"silent", ReplyFault::kSilent},
                                                                {"stall", ReplyFault::kStall}};
    const size_t colon = text.find(':');
    const int nth = colon == std::string::npos ? 0 : std::atoi(text.c_str() + colon + 1);
    for (const auto& kind : kKinds)
        if (nth > 0 && text.compare(0, colon, kind.first) == 0) {
            faults[nth] = kind.second;
            return true;
        }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenario, record;
    size_t index = 0;
    UsbtmcFunctionOptions options;
    for (int at = 1; at < argc; at += 2) {
        const std::string option = argv[at];
        if (at + 1 >= argc) return Usage("an option lacks its value");
        const std::string value = argv[at + 1];
        if (option == "--udc") {
            options.udc = value;
        } else if (option == "--scenario") {
            scenario = value;
        } else if (option == "--record") {
            record = value;
        } else if (option == "--index") {
            index = std::stoul(value);
        } else if (option == "--reenumerate-ms") {
            options.reenumerateMs = static_cast<uint32_t>(std::stoul(value));
        } else if (option == "--late-ms") {
            options.lateMs = static_cast<uint32_t>(std::stoul(value));
        } else if (option == "--unplug") {
            options.unplugSection = std::stoi(value);
        } else if (option == "--fault" && ParseReplyFault(value, options.faults)) {
        } else {
            return Usage("unknown option or value: " + option + " " + value);
        }
    }
    if (options.udc.empty() || scenario.empty()) return Usage("--udc and --scenario are needed");

    SimLibrary library(scenario, record);
    if (!library.visa() || index >= library.visa()->instrumentCount())
        return Usage("the scenario cannot be read, or has no instrument " + std::to_string(index));
    GadgetIdentity identity;
    if (!IdentityOf(library.visa()->instrument(index).resource(), identity))
        return Usage("the instrument's resource name has no ids");
    std::string name = "fwsim_" + options.udc, error;
    for (char& c : name)
        if (c == '.') c = '_';
    GadgetPort port;
    if (!port.Create(name, identity, error)) {
        std::fprintf(stderr, "fwsim-usbtmc-gadget: %s\n", error.c_str());
        return 1;
    }
    UsbtmcFunction function(*library.visa(), index, port, options);
    if (!function.Run()) {
        std::fprintf(stderr, "fwsim-usbtmc-gadget: cannot bind to %s\n", options.udc.c_str());
        return 1;
    }
    return 0;
}
