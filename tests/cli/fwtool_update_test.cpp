// fwtool list and fwtool update as a script relies on them, against the simulated
// instruments: the choice of instruments and its exit statuses, never asking without a
// terminal, the JSON lines and the report, the dry run, the reconnect retry, and several
// instruments updated at once by the engine's batch run, each on its own thread. What only
// a real process meets (signals, closed streams, a full disk, a second fwtool) is tested on
// one: tests/native/unattended_runs.py.

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "base/result_messages.h"
#include "instrument_commands.h"
#include "update_fixture.h"

namespace {

std::string Resource(const std::string& serial) {
    return "USB0::0x0D3F::0x1141::" + serial + "::INSTR";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class FwtoolTest : public UpdateFixture {
  protected:
    void SetUp() override {
        firmware = ValidK4417F();
        file = std::make_unique<TempFile>(firmware.Bytes());
    }
    const std::string& path() const { return file->path(); }

    // Instruments with these serials ("writer:" before one: already in writer mode).
    void Attach(const std::vector<std::string>& serials, std::vector<SimFault> faults = {}) {
        SimScenario scenario;
        for (std::string serial : serials) {
            std::string mode = "normal";
            if (serial.rfind("writer:", 0) == 0) mode = "writer", serial.erase(0, 7);
            scenario.instruments.push_back(Attached(Resource(serial), mode));
        }
        scenario.faults = std::move(faults);
        scenario.timingChecks = true;
        Start(std::move(scenario));
    }

    // `fwtool ARGS...` as the process runs it.
    int Fwtool(std::vector<std::string> args) {
        out.clear(), err.clear();
        CLI::App app;
        int status = 0;
        AddListCommand(app, context, status);
        AddUpdateCommand(app, context, status);
        std::reverse(args.begin(), args.end());
        try {
            app.parse(args);
        } catch (const CLI::ParseError& error) {
            return 125;
        }
        return status;
    }

    // Whether instrument `index` holds every section of the test file.
    bool FlashHoldsFile(size_t index) {
        for (size_t s = 0; s < kK4417FIds.size(); ++s)
            if (!FlashHoldsSection(s, index)) return false;
        return true;
    }
    std::vector<std::string> Written() {
        std::vector<std::string> texts;
        for (const SimCall& call : sim->callsOf("viWrite")) texts.push_back(call.text());
        return texts;
    }

    std::string out, err;
    OutputStream outStream{out}, errStream{err, true};
    std::vector<std::string> answers;  // typed on the terminal
    std::function<void()> beforeAnswer = [] {};
    std::atomic<bool> interrupted{false};
    CommandContext context{
        outStream,
        errStream,
        [this](const std::string&, const std::function<int(VisaLibrary&)>& body) {
            return body(*sim);
        },
        true,
        [this](const std::string& question, std::string& line) {
            errStream.Write(question);
            beforeAnswer();
            if (answers.empty()) return false;
            line = answers.front(), answers.erase(answers.begin());
            return true;
        },
        runClock,
        interrupted};
};

const std::vector<std::string> kUpdateLog = {"Connect ... OK", "To Writer ... OK", "Connect ... OK",
                                             "Testing ... OK", "Check Revision ... OK"};

TEST_F(FwtoolTest, ChoiceOfInstrumentsAndItsExitStatuses) {
    Attach({});
    EXPECT_EQ(Fwtool({"update", path(), "--yes"}), 120);
    EXPECT_EQ(err, "No instrument found.\n");

    Attach({"TW00000001", "TW00000002"});
    EXPECT_EQ(Fwtool({"update", path(), "--yes"}), 122);
    EXPECT_NE(err.find("TW00000001 TW00000002"), std::string::npos) << err;
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--serial", "tw00000002,TW00000009"}), 121);
    EXPECT_NE(err.find("not on the bus: TW00000009"), std::string::npos) << err;
    EXPECT_TRUE(sim->callsOf("viOpen").empty()) << "nothing is touched";

    TempFile unknownModel(ValidK4417F(K4417FFile{"2.10.0", "K9999"}).Bytes());
    EXPECT_EQ(Fwtool({"update", unknownModel.path(), "--yes"}), 31);
    EXPECT_EQ(err, unknownModel.path() + ": error 31: The firmware revision file is corrupted.\n");
    EXPECT_EQ(Fwtool({"update", path() + ".missing", "--yes"}), 125);
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--report", "/no/such/dir/r.json"}), 125);
    EXPECT_EQ(sim->callsOf("viFindRsrc").size(), 2u) << "a refused file or report searches nothing";

    // The question, once for the whole set; anything but y or yes cancels.
    answers = {"n"};
    EXPECT_EQ(Fwtool({"update", path(), "--all"}), 2);
    EXPECT_EQ(err, "Update K4417F SN:TW00000001, TW00000002 with " + path() +
                       " (revision 2.10.0)? [y/N] Update cancel.\n");
    // Without a terminal, or with --json, nothing is asked and nothing waits for input.
    context.stdinIsTerminal = false;
    answers = {"y"};
    EXPECT_EQ(Fwtool({"update", path(), "--all"}), 125);
    EXPECT_NE(err.find("--yes is needed"), std::string::npos);
    EXPECT_EQ(Fwtool({"update", path(), "--all", "--json"}), 125);
    EXPECT_EQ(answers.size(), 1u);
    EXPECT_TRUE(sim->callsOf("viOpen").empty());

    // One serial on two resources: which one is meant is unknown, and none runs twice.
    SimScenario twins;
    for (const std::string bus : {"USB0", "USB1"})
        twins.instruments.push_back(
            Attached(bus + "::0x0D3F::0x1141::TW00000001::INSTR", "normal"));
    Start(std::move(twins));
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--serial", "TW00000001"}), 122);
    EXPECT_NE(err.find("USB0::0x0D3F::0x1141::TW00000001::INSTR USB1::"), std::string::npos) << err;
    EXPECT_TRUE(sim->callsOf("viOpen").empty());
}

TEST_F(FwtoolTest, OneInstrumentUpdatedAsTheButtonDoesWithItsLogLineByLine) {
    Attach({"TW00000001"});
    answers = {"yes"};
    EXPECT_EQ(Fwtool({"update", path()}), 0);
    std::vector<std::string> expected = kUpdateLog;
    for (int i = 0; i < 6; ++i)
        expected.insert(expected.end(), {"    Loading ... OK", "    Check Sum ... OK",
                                         "    Write to flash ... OK"});
    expected.insert(expected.end(), {"--------------- Completed ---------------",
                                     "Completed: cycle the power of the K4417F."});
    // One shape for one instrument as for several: each line prefixed, a summary last.
    for (std::string& line : expected) line = "TW00000001: " + line;
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), expected.size() + 2) << out;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 2), expected);
    EXPECT_EQ(lines.back().substr(0, 15), "TW00000001   0 ");
    EXPECT_NE(err.find("\x1b[1F\x1b[JTW00000001  section 6/6  100%"), std::string::npos) << err;
    EXPECT_EQ(err.find("  0%"), std::string::npos)
        << "a section's progress starts at its first step";
    EXPECT_TRUE(FlashHoldsFile(0));
    EXPECT_EQ(sim->openSessionCount(), 0);
    EXPECT_EQ(sim->violations(), std::vector<std::string>());

    // A refusal right after a completed line: the window's log ends with an empty line there.
    Attach({"TW00000001"}, {SimFault::AtStep(2, "reset", "NG")});
    EXPECT_EQ(Fwtool({"update", path(), "--yes"}), 6);
    lines = Lines(out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end() - 2),
              (std::vector<std::string>{"TW00000001: ", "TW00000001: Error number: 6"}));
}

TEST_F(FwtoolTest, JsonLinesAndTheReportAppendedWhole) {
    Attach({"TW00000001"}, {SimFault::AtStep(2, "final", "ERASE NG")});
    TempFile report("");
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--json", "--report", report.path()}), 17);
    std::vector<nlohmann::json> events;
    for (const std::string& line : Lines(out)) events.push_back(nlohmann::json::parse(line));
    ASSERT_GT(events.size(), 3u);
    EXPECT_EQ(
        events[0],
        (nlohmann::json{{"event", "log"}, {"serial", "TW00000001"}, {"text", "Connect ... OK"}}));
    // Percent of every step of the section (a one-sector section has four); one section
    // reached the flash before the second failed.
    std::vector<int> percents;
    std::vector<nlohmann::json> sections;
    for (const nlohmann::json& event : events) {
        if (event["event"] == "progress") percents.push_back(event["percent"]);
        if (event["event"] == "section") sections.push_back(event);
    }
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents[0], 25);
    EXPECT_EQ(sections, (std::vector<nlohmann::json>{{{"event", "section"},
                                                      {"serial", "TW00000001"},
                                                      {"index", 1},
                                                      {"count", 6},
                                                      {"region", "Writer Program"}}}));
    nlohmann::json end = events.back();
    EXPECT_GT(end["seconds"], 3.5);
    end.erase("seconds");
    EXPECT_EQ(end, (nlohmann::json{{"event", "end"},
                                   {"serial", "TW00000001"},
                                   {"resource", Resource("TW00000001")},
                                   {"code", 17},
                                   {"message", ""},
                                   {"revisions", SimRevisionField(SimRegionRevisions{})},
                                   {"imageRev", "2.10.0"},
                                   {"sectionsWritten", 1},
                                   {"current", false}}));

    // A second run appends its own line, whole, after the first.
    sim->instrument(0).PowerCycle();
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--dry-run", "--report", report.path()}), 0);
    // A run refused before any instrument started has a line too; no message has its status.
    Attach({});
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--report", report.path()}), 120);
    std::ifstream in(report.path());
    std::stringstream content;
    content << in.rdbuf();
    const std::vector<std::string> lines = Lines(content.str());
    ASSERT_EQ(lines.size(), 3u);
    nlohmann::json first = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(first["revisions"], SimRevisionField(SimRegionRevisions{}));
    for (const char* key : {"time", "seconds"}) first.erase(key);
    EXPECT_EQ(first, (nlohmann::json{{"serial", "TW00000001"},
                                     {"resource", Resource("TW00000001")},
                                     {"file", path()},
                                     {"imageRev", "2.10.0"},
                                     {"revisions", SimRevisionField(SimRegionRevisions{})},
                                     {"code", 17},
                                     {"message", ""},
                                     {"dryRun", false},
                                     {"sectionsWritten", 1},
                                     {"current", false}}));
    EXPECT_EQ(nlohmann::json::parse(lines[1])["dryRun"], true);
    const nlohmann::json refused = nlohmann::json::parse(lines[2]);
    EXPECT_EQ(refused["code"], 120);
    EXPECT_EQ(refused["message"], "");
    for (int code : {-1, INT_MAX}) EXPECT_STREQ(ResultMessage(code), "") << code;  // nor these
}

TEST_F(FwtoolTest, DryRunSendsNothingButTheIdentificationQuery) {
    Attach({"TW00000001", "writer:TW00000002"});
    EXPECT_EQ(Fwtool({"update", path(), "--all", "--dry-run"}), 0);
    EXPECT_EQ(Written(), std::vector<std::string>(2, "*IDN?\n"));
    EXPECT_NE(out.find("TW00000001: Mode: normal"), std::string::npos) << out;
    EXPECT_NE(out.find("TW00000002: Mode: writer"), std::string::npos);
    EXPECT_NE(out.find("TW00000001: Main Program     file ZZZZ  instrument 0100"),
              std::string::npos);

    K4417FFile older;
    older.revisions = {"ZZZZ", "ZZZZ", "ZZZZ", "0000", "ZZZZ", "ZZZZ"};
    TempFile olderFile(ValidK4417F(older).Bytes());
    EXPECT_EQ(Fwtool({"update", olderFile.path(), "--serial", "TW00000001", "--dry-run"}), 22);
    EXPECT_EQ(Lines(out).end()[-3],
              "TW00000001: Error number: 22: The firmware revision file is corrupted.");
    EXPECT_EQ(Written(), std::vector<std::string>(3, "*IDN?\n"));
    EXPECT_EQ(sim->openSessionCount(), 0);
}

TEST_F(FwtoolTest, ReopenAfterTheSwitchIsRetriedForTwentySeconds) {
    // The writer comes back 6 s after the switch: twelve reopens fail.
    std::vector<SimFault> faults;
    for (int nth = 2; nth <= 13; ++nth) faults.push_back(SimFault::AtCall("viOpen", nth, "fail"));
    Attach({"TW00000001"}, faults);
    EXPECT_EQ(Fwtool({"update", path(), "--yes"}), 0);
    EXPECT_TRUE(FlashHoldsFile(0));
    EXPECT_EQ(sim->callsOf("viOpen").size(), 14u);

    // One that never comes back fails with 3 after 40 retries.
    faults.clear();
    for (int nth = 2; nth <= 60; ++nth) faults.push_back(SimFault::AtCall("viOpen", nth, "fail"));
    Attach({"TW00000001"}, faults);
    EXPECT_EQ(Fwtool({"update", path(), "--yes"}), 3);
    EXPECT_EQ(sim->callsOf("viOpen").size(), 42u);
    EXPECT_EQ(sim->openSessionCount(), 0);

    // A reopen whose timeout cannot be set is closed before the next try.
    Attach({"TW00000001"}, {SimFault::AtCall("viSetAttribute", 2, "fail")});
    EXPECT_EQ(Fwtool({"update", path(), "--yes"}), 0);
    const std::vector<SimCall>& calls = sim->calls();
    const auto failed = std::find_if(calls.begin(), calls.end(), [](const SimCall& call) {
        return call.op == "viSetAttribute" && call.nth == 2;
    });
    ASSERT_LT(failed + 1, calls.end());
    EXPECT_EQ((failed + 1)->op, "viClose");
}

TEST_F(FwtoolTest, SeveralInstrumentsAtOnceAFailureStopsOnlyItsOwn) {
    Attach({"TW00000001", "TW00000002", "writer:TW00000003"}, {[] {
               SimFault fault = SimFault::AtStep(3, "final", "PROGRAM NG");
               fault.resource = Resource("TW00000002");
               return fault;
           }()});
    EXPECT_EQ(Fwtool({"update", path(), "--yes", "--serial", "TW00000003,TW00000002", "--serial",
                      "TW00000001"}),
              18);
    EXPECT_TRUE(FlashHoldsFile(0));
    EXPECT_TRUE(FlashHoldsFile(2));
    EXPECT_EQ(sim->instrument(1).sectionsBegun(), 3);
    EXPECT_EQ(sim->openSessionCount(), 0);
    EXPECT_EQ(sim->violations(), std::vector<std::string>());
    // Each call has its own number among its kind, whichever thread made it.
    std::map<std::string, std::set<int>> numbers;
    for (const SimCall& call : sim->calls()) numbers[call.op].insert(call.nth);
    for (const auto& [op, nths] : numbers)
        EXPECT_EQ(nths.size(), static_cast<size_t>(*nths.rbegin())) << op;

    // Every line is one instrument's, whole; the summary closes in the order chosen.
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 23u + 25 + 15 + 4) << out;
    for (size_t i = 0; i + 4 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].rfind("TW0000000", 0) == 0 && lines[i][10] == ':') << lines[i];
    EXPECT_NE(out.find("TW00000002: Error number: 18\n"), std::string::npos);
    EXPECT_EQ(lines[lines.size() - 3].substr(0, 15), "TW00000003   0 ");
    EXPECT_EQ(lines[lines.size() - 2].substr(0, 16), "TW00000002   18 ");
}

TEST_F(FwtoolTest, TheFileConfirmedIsTheFileWrittenWhateverBecomesOfThePath) {
    Attach({"TW00000001", "TW00000002"});
    beforeAnswer = [this] {
        std::ofstream(path(), std::ios::binary | std::ios::trunc)
            << ValidK4417F({96, 64, 64, 512, 256, 64}).Bytes();
    };
    answers = {"y"};
    EXPECT_EQ(Fwtool({"update", path(), "--all"}), 0);
    EXPECT_TRUE(FlashHoldsFile(0));
    EXPECT_TRUE(FlashHoldsFile(1));
}

TEST_F(FwtoolTest, ListShowsEachInstrumentsModeAndRevisions) {
    Attach({});
    EXPECT_EQ(Fwtool({"list"}), 120);
    Attach({"TW00000001", "writer:TW00000002", "TW00000003"},
           {SimFault::AtCall("viRead", 3, "timeout")});
    EXPECT_EQ(Fwtool({"list"}), 0);
    const std::string revisions = SimRevisionField(SimRegionRevisions{});
    EXPECT_EQ(Lines(out), (std::vector<std::string>{
                              Resource("TW00000001") + "  TW00000001  normal  " + revisions,
                              Resource("TW00000002") + "  TW00000002  writer  " + revisions,
                              Resource("TW00000003") + "  TW00000003  unknown(4)  "}));
    EXPECT_EQ(Written(), std::vector<std::string>(3, "*IDN?\n"));
    EXPECT_EQ(Fwtool({"list", "--json"}), 0);
    EXPECT_EQ(nlohmann::json::parse(Lines(out)[0]),
              (nlohmann::json{{"resource", Resource("TW00000001")},
                              {"serial", "TW00000001"},
                              {"mode", "normal"},
                              {"revisions", revisions}}));
}

}  // namespace
