#pragma once
// Which of the instruments found a run takes.

#include <string>
#include <vector>

enum class Choice {
    kChosen,           // `chosen` holds the instruments
    kSerialNotFound,   // a serial asked for is not on the bus
    kNoneChosen,       // several instruments, and neither serials nor all
    kSerialOnSeveral,  // a serial asked for is carried by several resources
};

// The instruments a run takes from `found`: those of `serials` (letter case ignored, each
// once, in the order asked), all with `all` (in the order found), else the only one. A
// serial on several resources is refused either way. Unless kChosen, `problem`
// names the serials concerned, each after a blank (for kSerialOnSeveral: the resources).
// The instruments of `found` that `serials` name (letter case ignored; every one when it is
// empty), in the order found; `missing` receives the serials that name none.
std::vector<std::string> InstrumentsNamed(const std::vector<std::string>& found,
                                          const std::vector<std::string>& serials,
                                          std::vector<std::string>& missing);
Choice ChooseInstruments(const std::vector<std::string>& found,
                         const std::vector<std::string>& serials, bool all,
                         std::vector<std::string>& chosen, std::string& problem);
