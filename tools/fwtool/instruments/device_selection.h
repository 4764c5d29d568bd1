#pragma once
// Which instruments a command talks to, and through which VISA library: the options of
// every command that touches instruments, declared once.

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct DeviceSelection {
    std::string visaPath;              // "": the platform's usual places
    std::vector<std::string> serials;  // letter case ignored
    bool all = false;
};

// Adds the group "device selection" to `command`: --visa, --serial (repeatable or
// comma-separated; an empty or malformed serial is a usage error) whose help starts with
// `serialHelp`, and --all when `allHelp` is given.
void AddDeviceSelection(CLI::App& command, DeviceSelection& selection, const char* serialHelp,
                        const char* allHelp = nullptr);
