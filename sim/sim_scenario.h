#pragma once
// What the simulated world holds: which instruments are attached, in which state, and
// which faults to inject. Readable from JSON so the DLL can take it from a file.
//
// {
//   "instruments": [
//     { "resource": "USB0::0x0D3F::0x1141::TW00012345::INSTR",
//       "revision": "1234.A.BC.....DE.FGHI",   // the *IDN? revision field
//       "mode": "normal",                      // or "writer"
//       "flashFile": "flash.bin",              // optional: loaded and saved
//       "lowerCaseReplies": false,
//       "idnReply": "" }                       // optional: the whole *IDN? reply, verbatim
//   ],
//   "timingChecks": true,
//   "progressLines": -1,       // -1: "ERAS:<s>" per sector, then "PROG:<s>" per sector
//   "timeoutScale": 1.0,       // real clock only: timeouts wait this fraction of their time
//   "faults": [
//     { "op": "viWrite", "nth": 3, "action": "fail" },          // nth call of that op (1-based)
//     { "op": "viRead",  "nth": 5, "action": "timeout" },
//     { "op": "viRead",  "nth": 2, "action": "reply", "text": "NG" },
//     { "section": 3, "step": "final", "text": "ERASE NG" },     // writer behaviour per section
//     { "section": 2, "step": "checksum", "text": "12345" },
//     { "section": 1, "step": "flash_check", "action": "silent" }
//   ]
// }
//
// Call-level faults. Every call of a VISA function counts, whatever session it names and
// whatever it returns (a call on a closed session counts too); the count runs per function
// over the whole life of one SimVisa, starting at 1. SimCall::nth is that same number, so a
// fault can be aimed at any call of a recorded clean run. Actions:
//   "fail"    the call returns `status` (default VI_ERROR_IO) at once; nothing reaches the
//             instrument, no reply is consumed, no output is written.
//   "timeout" the clock waits the session timeout (viOpen: its open timeout; the other
//             calls without a timeout of their own do not wait), then the call returns
//             VI_ERROR_TMO; nothing reaches the instrument, no reply is consumed.
//   "reply"   viRead only: the read delivers `text` instead of the pending reply, which is
//             consumed (when there is one); status as for a normal read of `text`.
//   "silent"  viWrite: reported as written, but the instrument never sees the bytes.
//             viRead: the pending reply is lost and the read times out.
//
// Writer-level faults. The writer counts reset frames per instrument over the run: the nth
// reset frame begins section n. At that section the reply of `step` is replaced by `text`
// ("final": the line after the progress lines; the flash is only written when the
// replacement begins with "OK"), or with "action": "silent" the writer gives no reply there.
// An optional "resource" limits the fault to one instrument.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SimInstrumentSpec {
    std::string resource;
    std::string maker = "ZENTROVA CORP.";
    std::string model = "K4417F";
    std::string revision;         // the identification reply's text after the third comma
    std::string mode = "normal";  // "normal" or "writer"
    std::string flashFile;        // empty: flash only in memory
    bool lowerCaseReplies = false;
    std::string idnReply;  // when set, replaces the whole "*IDN?" reply verbatim
};

struct SimFault {
    // Call-level fault: the nth call (1-based) of `op` across the whole run.
    std::string op;  // any of the eight: "viOpenDefaultRM", "viFindRsrc", ..., "viRead"
    int nth = 0;
    std::string action;  // "fail", "timeout", "reply" (replace the reply with `text`), "silent"
    int32_t status = 0;  // "fail": the status returned; 0 means VI_ERROR_IO
    // Writer-level fault: at the writer's nth section (1-based).
    int section = 0;
    std::string step;  // "reset", "end_load_data", "end_load", "select", "checksum_length",
                       // "checksum", "flash_check", "final"
    std::string text;
    std::string resource;  // writer-level: empty means every instrument

    bool callLevel() const { return !op.empty(); }

    // The nth call of `op` gets `action` (with `text` for "reply").
    static SimFault AtCall(std::string op, int nth, std::string action, std::string text = {}) {
        SimFault fault;
        fault.op = std::move(op);
        fault.nth = nth;
        fault.action = std::move(action);
        fault.text = std::move(text);
        return fault;
    }
    // The writer answers `text` (or stays silent, action "silent") at `step` of its nth section.
    static SimFault AtStep(int section, std::string step, std::string text,
                           std::string action = {}) {
        SimFault fault;
        fault.section = section;
        fault.step = std::move(step);
        fault.text = std::move(text);
        fault.action = std::move(action);
        return fault;
    }
};

struct SimScenario {
    std::vector<SimInstrumentSpec> instruments;
    std::vector<SimFault> faults;
    bool timingChecks = false;
    int progressLines = -1;  // -1: one "ERAS:" and one "PROG:" line per sector written
    double timeoutScale = 1.0;

    // Parses `json`; false with a message in `error` when it is malformed.
    static bool FromJson(const std::string& json, SimScenario& out, std::string& error);
    // Reads and parses the JSON file at `path`.
    static bool FromFile(const std::string& path, SimScenario& out, std::string& error);
    // One instrument in its normal firmware, a typical revision field.
    static SimScenario SingleInstrument(const std::string& mode = "normal");
};

// The serial number part of a resource name ("TW00012345" in
// "USB0::0x0D3F::0x1141::TW00012345::INSTR"); the whole name when it has no such part.
std::string SimSerialOf(const std::string& resource);

// Per-region revisions of the instrument's firmware, as its identification reports them.
struct SimRegionRevisions {
    std::string mainProgram = "0100";  // 4 characters at position 0
    std::string writerProgram = "1";   // 1 character at position 6
    std::string fpgaCode1 = "01";      // 2 characters at position 9
    std::string fpgaCode2 = "01";      // 2 characters at position 15
    std::string httpProgram = "0100";  // 4 characters at position 18
};

// A 22-character revision field carrying each region's revision at its position, the
// gaps filled with '.'. Over-long revisions are cut to their width.
std::string SimRevisionField(const SimRegionRevisions& revisions);

// Where each region's revision sits in the field, and the region's first flash sector.
struct SimRegionLayout {
    uint8_t firstSector;
    size_t position;
    size_t width;
};
constexpr SimRegionLayout kSimRegions[] = {
    {14, 0, 4},  // main program
    {1, 6, 1},   // writer program
    {4, 9, 2},   // FPGA code 1
    {6, 15, 2},  // FPGA code 2
    {8, 18, 4},  // http program
};
