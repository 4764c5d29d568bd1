#pragma once
// The instruments on the bus as the commands see them: the program's own search
// expression (built-in identity), each resource's serial field and its identification.

#include <string>
#include <vector>

class VisaLibrary;
class WindowServices;

// The built-in identity's VID and PID, normalised ("0x0d3f", "0x1141").
void BuiltInIds(std::string& vid, std::string& pid);
// Every matching resource, in the order the library reports them.
std::vector<std::string> SearchBus(VisaLibrary& visa);
// The serial field of a resource name ("TW00012345" of "USB0::0x0D3F::0x1141::TW00012345::INSTR").
std::string SerialField(const std::string& resource);
// What follows the third comma of an identification reply, without its line end.
std::string RevisionField(const std::string& reply);

// The instruments a run takes from `found`: those of `serials` (letter case ignored), all
// with `all`, else the only one. 0, kExitSerialNotFound or kExitNoneChosen with
// `problem` naming the serials concerned.
int ChooseInstruments(const std::vector<std::string>& found,
                      const std::vector<std::string>& serials, bool all,
                      std::vector<std::string>& chosen, std::string& problem);
