// The fault matrix: a clean update is recorded against the simulated instrument, then every
// VISA call of it where the program talks to the instrument is made to fail in each way
// that applies, one fault per run. Whatever goes wrong, the operator must get the right
// code and box, the instrument session must be closed, both buttons enabled, the transfer
// flag clear, nothing sent after the failing step, and no "Completed"; a reply in lower
// case must still complete.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/result_messages.h"
#include "firmware/model_catalogue.h"
#include "instrument/instrument_link.h"
#include "ui/control_ids.h"
#include "update_fixture.h"
#include "writer/writer_frame.h"

namespace {

constexpr int kNoInstrument = -2;  // the search finds nothing: only its box
constexpr int kCompletes = 0;

// What the program may still do after the faulted call.
enum class After {
    kOnlyClose,             // the failing step ends the run
    kSecondIdentification,  // a failed first identification is settled by the second
    kAnything,              // the run goes on to completion
};

struct Cell {
    std::string step;  // where, for the report
    std::string kind;  // which fault
    SimFault fault;
    // kCompletes, kNoInstrument or the error number the operator must read, written as the
    // number itself: a code that changed its number would fail here.
    int code;
    After after;
};

bool IsFrame(const SimCall& call) {
    return call.byteCount == 12 && call.bytes[0] == kFrameStart &&
           (std::memcmp(&call.bytes[6], WGUARD_COMMAND, 6) == 0 ||
            std::memcmp(&call.bytes[6], WGUARD_RESET, 6) == 0);
}

std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\0' ? "\\0" : std::string(1, c);
    return out;
}

std::string Lower(const std::string& text) {
    return LowerCaseAscii(text);
}

// The fault `action` at exactly this call of the clean run.
SimFault CallFault(const SimCall& call, const std::string& action, const std::string& text = "") {
    return SimFault::AtCall(call.op, call.nth, action, text);
}

// A small valid file; the main program spans three data writes of up to 1024 bytes.
std::string MatrixFile() {
    K4417FFile file;
    file.payloadSizes = {40, 24, 24, 2100, 32, 16};
    return ValidK4417F(file).Bytes();
}

// The reply a writer step is waiting for, and what it makes of other texts: an error number,
// or kCompletes for one it accepts.
struct ReplyStep {
    std::string name;
    std::vector<std::pair<std::string, int>> answers;  // reply text, code
};

// Every command but the reset wants exactly the two bytes "OK"; the reset judges the text
// alone, up to its first zero byte.
std::vector<std::pair<std::string, int>> OkRefusals(int code, bool textAlone = false) {
    return {{"NG", code},
            {"OKAY", code},
            {"OK!", code},
            {"O", code},
            {"", code},
            {"OK\r\n", code},
            {std::string("OK\0XY", 5), textAlone ? kCompletes : code}};
}

ReplyStep ReplyAfter(uint8_t frame, bool dataSent) {
    switch (frame) {
        case WCMD_RESET:
            return {"reset reply", OkRefusals(6, true)};
        case WCMD_LOAD:
            return {dataSent ? "loaded-bytes reply" : "load reply", OkRefusals(11)};
        case WCMD_END_LOAD:
            return {"end-load reply", OkRefusals(11)};
        case WCMD_SELECT_SECTION:
            return {"select reply", OkRefusals(12)};
        case WCMD_CHECKSUM_LENGTH:
            return {"checksum-length reply", OkRefusals(13)};
        case WCMD_QUERY_CHECKSUM:
            return {"checksum reply", {{"", 14}, {"1", 1}}};
        case WCMD_FLASH_CHECK:
            return {"flash-check reply", OkRefusals(15)};
        default:
            return {"unexpected reply", {}};
    }
}

// Builds the cells from the calls of a clean run.
std::vector<Cell> BuildMatrix(const std::vector<SimCall>& clean) {
    std::vector<Cell> cells;
    auto add = [&](const std::string& step, const std::string& kind, SimFault fault, int code,
                   After after) {
        cells.push_back({step, kind, std::move(fault), code, after});
    };
    auto failWrite = [&](const SimCall& call, const std::string& step, int code, After after) {
        add(step, "failed write", CallFault(call, "fail"), code, after);
        add(step, "write timeout", CallFault(call, "timeout"), code, after);
    };
    auto failRead = [&](const SimCall& call, const std::string& step, int code, After after) {
        add(step, "failed read", CallFault(call, "fail"), code, after);
        add(step, "read timeout", CallFault(call, "timeout"), code, after);
        // The awaited text padded to the whole 255 bytes: it must not pass for that text.
        std::string full = call.text();
        full.resize(kReplyMax, ' ');
        add(step, "255-byte reply", CallFault(call, "reply", full), code, after);
        if (Lower(call.text()) != call.text())
            add(step, "lower-case reply", CallFault(call, "reply", Lower(call.text())), kCompletes,
                After::kAnything);
    };

    int identifications = 0, opens = 0, attributes = 0, section = 0;
    uint8_t frame = 0;
    bool dataSent = false;
    for (const SimCall& call : clean) {
        const std::string text = call.text();
        const std::string at = section ? "section " + std::to_string(section) + " " : "";
        if (call.op == "viFindRsrc") {
            add("search", "failed search", CallFault(call, "fail"), kNoInstrument,
                After::kOnlyClose);
            add("search", "search timeout", CallFault(call, "timeout"), kNoInstrument,
                After::kOnlyClose);
        } else if (call.op == "viFindNext") {
            // The end of the list is a failed find-next anyway.
            add("search", "failed find-next", CallFault(call, "fail"), kCompletes,
                After::kAnything);
        } else if (call.op == "viOpen") {
            ++opens;
            const std::string step = opens == 1 ? "open" : "reopen in writer mode";
            add(step, "failed open", CallFault(call, "fail"), 3, After::kOnlyClose);
            add(step, "open timeout", CallFault(call, "timeout"), 3, After::kOnlyClose);
        } else if (call.op == "viSetAttribute") {
            ++attributes;
            add(attributes == 1 ? "timeout setting" : "timeout setting after reopen",
                "failed attribute", CallFault(call, "fail"), 3, After::kOnlyClose);
        } else if (call.op == "viWrite" && text == "*IDN?\n") {
            ++identifications;
            if (identifications == 1)
                failWrite(call, "first identification query", 5, After::kSecondIdentification);
            else
                failWrite(call, "second identification query", 4, After::kOnlyClose);
        } else if (call.op == "viRead" && identifications == 1 && section == 0) {
            const std::string step = "first identification reply";
            failRead(call, step, 5, After::kSecondIdentification);
            add(step, "reply without fields", CallFault(call, "reply", ",,,"), 5,
                After::kSecondIdentification);
        } else if (call.op == "viWrite" && text == "SYST:UPDATE COUNTER\n") {
            failWrite(call, "switch to writer", 4, After::kOnlyClose);
        } else if (call.op == "viRead" && section == 0) {
            const std::string step = "second identification reply";
            failRead(call, step, 4, After::kOnlyClose);
            add(step, "normal firmware answers",
                CallFault(call, "reply", "ZENTROVA CORP.,K4417F,TW00012345,0100\n"), 5,
                After::kOnlyClose);
            add(step, "reply without fields", CallFault(call, "reply", ",,,"), 7,
                After::kOnlyClose);
            add(step, "fewer than three commas", CallFault(call, "reply", "WRITER,K4417F\n"), 21,
                After::kOnlyClose);
            add(step, "instrument newer than the file",
                CallFault(call, "reply", "WRITER,K4417F,TW1," + std::string(22, '~') + "\n"), 22,
                After::kOnlyClose);
        } else if (call.op == "viWrite" && IsFrame(call)) {
            frame = call.bytes[5];
            if (frame == WCMD_RESET) ++section;
            dataSent = false;
            char name[32];
            std::snprintf(name, sizeof name, "frame 0x%02X", frame);
            failWrite(call, "section " + std::to_string(section) + " " + name, 4,
                      After::kOnlyClose);
        } else if (call.op == "viWrite") {
            // What follows a frame: the section id, the checksum length or section bytes.
            const std::string what = frame == WCMD_SELECT_SECTION    ? "section id"
                                     : frame == WCMD_CHECKSUM_LENGTH ? "checksum length payload"
                                                                     : "section bytes";
            failWrite(call, at + what, 4, After::kOnlyClose);
            dataSent = true;
        } else if (call.op == "viRead" && frame == WCMD_FLASH_WRITE) {
            // The writer's lines after the flash write.
            const std::string line = text.substr(0, 4);
            const std::string step = at + (line == "ERAS"   ? "erase progress line"
                                           : line == "PROG" ? "program progress line"
                                                            : "final line");
            failRead(call, step, 4, After::kOnlyClose);
            add(step, "erase failed", CallFault(call, "reply", "ERASE NG"), 17, After::kOnlyClose);
            add(step, "program failed", CallFault(call, "reply", "PROGRAM NG 0x20000"), 18,
                After::kOnlyClose);
            // Only the first 23 characters decide, letter case ignored.
            for (const char* latest : {"DATA IS THE LATEST UPDATE", "data is the latest upda",
                                       "DATA IS THE LATEST UPDAXXX"})
                add(step, "already the latest", CallFault(call, "reply", latest), 19,
                    After::kOnlyClose);
        } else if (call.op == "viRead") {
            const ReplyStep reply = ReplyAfter(frame, dataSent);
            failRead(call, at + reply.name, 4, After::kOnlyClose);
            for (const auto& [answer, code] : reply.answers)
                add(at + reply.name, "answered \"" + Printable(answer) + "\"",
                    CallFault(call, "reply", answer), code,
                    code == kCompletes ? After::kAnything : After::kOnlyClose);
        }
        // viOpenDefaultRM and viClose do not talk to the instrument.
    }
    return cells;
}

class FaultMatrix : public UpdateFixture {
  protected:
    // Runs one cell and returns what went wrong, or nothing.
    std::string RunCell(const Cell& cell, const std::string& fileBytes, uint64_t cleanEndMs) {
        Start(Bench("normal", {cell.fault}));
        if (!Load(fileBytes)) return "the file did not load";
        window.boxes.clear();
        PressUpdate();

        std::ostringstream out;
        std::vector<RecordedBox> boxes;  // without the confirmation
        for (const RecordedBox& box : window.boxes)
            if (box.caption != "Confirm Firmware Update") boxes.push_back(box);

        if (cell.code == kNoInstrument) {
            const RecordedBox noInstrument{"No instrument found.", "Search Instrument",
                                           kMbOk | kMbIconInformation, true};
            if (boxes != std::vector<RecordedBox>{noInstrument}) out << " boxes differ;";
            if (!window.Log().empty()) out << " log not empty;";
        } else if (cell.code == kCompletes) {
            if (!Completed()) out << " did not complete (code " << ReportedCode() << ");";
            if (boxes.size() != 1 || boxes[0].caption != "Firmware Update")
                out << " no completion box;";
        } else {
            if (Completed()) out << " reported \"Completed\";";
            if (ReportedCode() != cell.code)
                out << " code " << ReportedCode() << " instead of " << cell.code << ";";
            // The writer's refusals (6, 7, 11 to 19) are told by the log alone.
            const bool showsBox = cell.code < 6 || cell.code > 19;
            std::vector<RecordedBox> expected;
            if (showsBox)
                expected.push_back(
                    {kErrorTable[cell.code].message, "Error", kMbOk | kMbIconHand, true});
            if (boxes != expected) out << " wrong box;";
        }

        if (sim->openSessionCount() != 0) out << " instrument session left open;";
        if (!window.IsEnabled(IDC_BROWSE) || !window.IsEnabled(IDC_UPDATE))
            out << " buttons disabled;";
        if (core->transferInProgress() != 0) out << " transfer flag set;";
        if (!sim->violations().empty())
            out << " protocol violation: " << sim->violations()[0] << ";";
        // Only the timeout of the faulted call may add to the clean run's time.
        if (clock.NowMs() > cleanEndMs + kIoTimeoutMs) out << " ran past its timeouts;";

        // What came after the faulted call.
        const std::vector<SimCall>& calls = sim->calls();
        size_t at = 0;
        while (at < calls.size() &&
               !(calls[at].op == cell.fault.op && calls[at].nth == cell.fault.nth))
            ++at;
        if (at == calls.size()) return out.str() + " the faulted call never came;";
        std::vector<std::string> later;
        for (size_t i = at + 1; i < calls.size(); ++i)
            if (calls[i].op != "viClose") later.push_back(calls[i].op + " " + calls[i].text());
        if (cell.after == After::kOnlyClose && !later.empty())
            out << " sent after the failing step: " << later[0] << ";";
        if (cell.after == After::kSecondIdentification &&
            (later.size() != 2 || later[0] != "viWrite *IDN?\n" ||
             later[1].rfind("viRead", 0) != 0))
            out << " not just the second identification after the fault;";
        return out.str();
    }
};

}  // namespace

TEST_F(FaultMatrix, EveryFaultAtEveryInstrumentCallEndsTheRunSafely) {
    const std::string fileBytes = MatrixFile();

    // The clean run that the faults are placed in.
    Start();
    ASSERT_TRUE(Load(fileBytes));
    const size_t before = sim->calls().size();
    PressUpdate();
    ASSERT_TRUE(Completed()) << window.Log();
    ASSERT_EQ(sim->violations(), std::vector<std::string>());
    const std::vector<SimCall> run(sim->calls().begin() + static_cast<long>(before),
                                   sim->calls().end());
    const uint64_t cleanEndMs = clock.NowMs();

    const std::vector<Cell> cells = BuildMatrix(run);
    std::vector<std::string> failures;
    std::map<std::string, int> perKind;
    for (const Cell& cell : cells) {
        ++perKind[cell.kind];
        const std::string problem = RunCell(cell, fileBytes, cleanEndMs);
        if (!problem.empty())
            failures.push_back(cell.step + " / " + cell.kind + " (" + cell.fault.op + " #" +
                               std::to_string(cell.fault.nth) + "):" + problem);
    }

    std::cout << "[ matrix   ] " << run.size() << " calls in the clean run, " << cells.size()
              << " cells, " << cells.size() - failures.size() << " passed\n";
    for (const auto& [kind, count] : perKind)
        std::cout << "[ matrix   ]   " << count << " x " << kind << "\n";
    RecordProperty("cells", static_cast<int>(cells.size()));
    // Every writer step of all six sections has its cells.
    EXPECT_GE(cells.size(), 6u * 40u);
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
}
