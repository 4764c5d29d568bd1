// Identity lines of any content, taken as the built-in line and as a command line: the
// identity is resolved and tested, and one that passes must give a search expression that
// fits its buffer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/device_identity.h"
#include "fuzz_check.h"
#include "instrument/instrument_link.h"
#include "instrument/search_expression.h"
#include "recording_window.h"

namespace {

void Resolve(const std::string& commandLine, const std::string& builtInLine) {
    RecordingWindow window;
    DeviceIdentity identity;
    const bool ok = ResolveIdentityFrom(identity, window, commandLine, builtInLine);
    // Every box at start-up is without owner; a failure always explains itself.
    for (const RecordedBox& box : window.boxes) FUZZ_CHECK(!box.owned);
    if (!ok) {
        FUZZ_CHECK(window.boxes.size() == 1);
        FUZZ_CHECK(window.boxes[0].caption == "WARNING:");
        return;
    }
    FUZZ_CHECK(!identity.leadingToken.empty() && !identity.mac.empty());
    FUZZ_CHECK(!identity.macPart1.empty() && !identity.macPart2.empty() &&
               !identity.macPart3.empty());
    FUZZ_CHECK(window.boxes.size() == (identity.defaultFlag ? 0u : 1u));
    const std::string expression = BuildSearchExpression(identity.vid, identity.pid);
    FUZZ_CHECK(!expression.empty() && expression.size() <= kSearchExpressionMax);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    Resolve(std::string(), line);
    Resolve(line, "ABC 3391 4417 02-5C-3E");

    DeviceIdentity parsed;
    ParseIdentityLine(parsed, line);
    // An id already written in hexadecimal stays as it is; any other becomes "0x%04x".
    const std::string vid = NormaliseUsbId(parsed.vid);
    const bool hexadecimal =
        parsed.vid.size() >= 2 && parsed.vid[0] == '0' && (parsed.vid[1] | 0x20) == 'x';
    if (hexadecimal)
        FUZZ_CHECK(vid == parsed.vid);
    else
        FUZZ_CHECK(vid.size() >= 6 && vid.size() <= 10 && vid.compare(0, 2, "0x") == 0);
    return 0;
}
