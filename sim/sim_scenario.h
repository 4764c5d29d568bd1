#pragma once
// What the simulated world holds: which instruments are attached, in which state, and
// which faults to inject. Readable from JSON so the DLL can take it from a file.
//
// {
//   "instruments": [
//     { "resource": "USB0::0x0D3F::0x1141::TW00012345::INSTR",
//       "revision": "1234567890ABCDEFGHIJKLMNOP",   // the *IDN? revision field
//       "mode": "normal",                              // or "writer"
//       "flashFile": "flash.bin",                      // optional: loaded and saved
//       "lowerCaseReplies": false }
//   ],
//   "timingChecks": true,
//   "progressLines": 3,        // "ERAS:"/"PROG:"/... lines before the final line
//   "faults": [
//     { "op": "viWrite", "nth": 3, "action": "fail" },          // nth call of that op (1-based)
//     { "op": "viRead",  "nth": 5, "action": "timeout" },
//     { "op": "viRead",  "nth": 2, "action": "reply", "text": "NG" },
//     { "section": 3, "step": "final", "text": "ERASE NG" },     // writer behaviour per section
//     { "section": 2, "step": "checksum", "text": "12345" }
//   ]
// }

#include <cstdint>
#include <string>
#include <vector>

struct SimInstrumentSpec {
    std::string resource;
    std::string maker = "ZENTROVA CORP.";
    std::string model = "K4417F";
    std::string revision;        // the identification reply's text after the third comma
    std::string mode = "normal";  // "normal" or "writer"
    std::string flashFile;       // empty: flash only in memory
    bool lowerCaseReplies = false;
    std::string idnReply;        // when set, replaces the whole "*IDN?" reply verbatim
};

struct SimFault {
    // Call-level fault: the nth call (1-based) of `op` across the whole run.
    std::string op;  // "viFindRsrc", "viOpen", "viSetAttribute", "viWrite", "viRead"
    int nth = 0;
    std::string action;  // "fail", "timeout", "reply" (replace the reply with `text`), "silent"
    // Writer-level fault: at the writer's nth section (1-based) in a session's life.
    int section = 0;
    std::string step;  // "reset", "end_load_data", "end_load", "select", "checksum_length",
                       // "checksum", "flash_check", "final"
    std::string text;
};

struct SimScenario {
    std::vector<SimInstrumentSpec> instruments;
    std::vector<SimFault> faults;
    bool timingChecks = false;
    int progressLines = 3;

    // Parses `json`; false with a message in `error` when it is malformed.
    static bool FromJson(const std::string& json, SimScenario& out, std::string& error);
    // One instrument in its normal firmware, a typical revision field.
    static SimScenario SingleInstrument(const std::string& mode = "normal");
};
