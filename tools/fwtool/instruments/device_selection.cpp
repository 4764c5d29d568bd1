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

// "a,b" as {"a", "b"}; "" as {""} and "a," as {"a", ""}: every piece, empty ones included.
std::vector<std::string> SplitAtCommas(const std::string& value) {
    std::vector<std::string> pieces(1);
    for (const char c : value)
        if (c == ',')
            pieces.emplace_back();
        else
            pieces.back() += c;
    return pieces;
}

}  // namespace

void AddDeviceSelection(CLI::App& command, DeviceSelection& selection, const char* serialHelp,
                        const char* allHelp) {
    CLI::Option_group* group = command.add_option_group("device selection");
    group->add_option("--visa", selection.visaPath, kVisaOptionHelp);
    // Each value is checked whole, so that no empty serial between commas goes unseen.
    const CLI::Validator serialList(
        [](std::string& value) {
            for (const std::string& serial : SplitAtCommas(value))
                if (!IsSerialText(serial))
                    return "'" + value + "' is not a serial number or a list of them";
            return std::string();
        },
        "SERIAL[,SERIAL...]");
    group
        ->add_option_function<std::vector<std::string>>(
            "--serial",
            [&selection](const std::vector<std::string>& values) {
                for (const std::string& value : values)
                    for (std::string& serial : SplitAtCommas(value))
                        selection.serials.push_back(std::move(serial));
            },
            std::string(serialHelp) +
                " (serial field of its resource, letter case ignored); repeatable or "
                "comma-separated")
        ->check(serialList);
    if (allHelp) group->add_flag("--all", selection.all, allHelp);
}
