#include "device_selection.h"

#include <CLI/CLI.hpp>

#include "instrument/resource_name.h"

namespace {

// The help of --visa, which says what is used without it.
#ifdef _WIN32
constexpr char kVisaOptionHelp[] = "the VISA library to load";
#else
constexpr char kVisaOptionHelp[] =
    "the VISA library to load, or 'usbtmc' for the kernel's USBTMC driver (/dev/usbtmcN); "
    "without it: $FWTOOL_VISA, else the first vendor library that loads (libvisa.so, "
    "libvisa.so.7, libvisa.so.0, libiovisa.so, librsvisa.so), else usbtmc";
#endif

}  // namespace

void AddDeviceSelection(CLI::App& command, DeviceSelection& selection, const char* serialHelp,
                        const char* allHelp) {
    CLI::Option_group* group = command.add_option_group("device selection");
    group->add_option("--visa", selection.visaPath, kVisaOptionHelp);
    const CLI::Validator serialText(
        [](std::string& serial) {
            return IsSerialText(serial) ? std::string()
                                        : "'" + serial + "' is not a serial number";
        },
        "SERIAL");
    group
        ->add_option("--serial", selection.serials,
                     std::string(serialHelp) +
                         " (serial field of its resource, letter case ignored); repeatable or "
                         "comma-separated")
        ->delimiter(',')
        ->check(serialText);
    if (allHelp) group->add_flag("--all", selection.all, allHelp);
}
