// Scenarios read from JSON, as the DLL takes them from a file.

#include <gtest/gtest.h>

#include "sim_scenario.h"

TEST(SimScenarioJson, AFullScenarioIsReadFieldByField) {
    const char* text = R"({
      "instruments": [
        { "resource": "USB0::0x0D3F::0x1141::TW00012345::INSTR", "revision": "ABCD..G",
          "mode": "writer", "flashFile": "f.bin", "lowerCaseReplies": true, "idnReply": "x" },
        { "resource": "USB0::0x0D3F::0x1141::TW2::INSTR" }
      ],
      "timingChecks": true, "progressLines": 3, "timeoutScale": 0.01,
      "faults": [
        { "op": "viRead", "nth": 2, "action": "reply", "text": "NG" },
        { "op": "viOpen", "nth": 1, "action": "fail", "status": -1073807343 },
        { "section": 3, "step": "final", "text": "ERASE NG", "resource": "USB0::X" },
        { "section": 1, "step": "flash_check", "action": "silent" }
      ]
    })";
    SimScenario s;
    std::string error;
    ASSERT_TRUE(SimScenario::FromJson(text, s, error)) << error;
    ASSERT_EQ(s.instruments.size(), 2u);
    EXPECT_TRUE(s.instruments[0].lowerCaseReplies);
    EXPECT_EQ(s.instruments[1].maker, "ZENTROVA CORP.");  // defaults kept
    EXPECT_EQ(s.instruments[1].mode, "normal");
    EXPECT_DOUBLE_EQ(s.timeoutScale, 0.01);
    ASSERT_EQ(s.faults.size(), 4u);
    EXPECT_EQ(s.faults[1].status, static_cast<int32_t>(0xBFFF0011u));
    EXPECT_FALSE(s.faults[3].callLevel());
}

TEST(SimScenarioJson, MistakesAreReportedWithoutChangingTheScenario) {
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {"{\"instruments\": [", "scenario is not valid JSON"},
        {"", "scenario is not valid JSON"},
        {"[]", "scenario must be a JSON object"},
        {"{\"timingcheck\": true}", "scenario: unknown key \"timingcheck\""},
        {"{\"timingChecks\": 1}", "scenario: \"timingChecks\" must be true or false"},
        {"{\"instruments\": {}}", "scenario: \"instruments\" and \"faults\" must be arrays"},
        {"{\"instruments\": [{}]}", "instruments[0]: \"resource\" is required"},
        {"{\"instruments\": [{\"resource\": \"R\", \"mode\": \"boot\"}]}",
         "instruments[0]: \"mode\" must be \"normal\" or \"writer\""},
        {"{\"instruments\": [{\"resource\": 5}]}", "instruments[0]: \"resource\" must be a string"},
        {"{\"faults\": [{\"op\": \"viPeek\", \"nth\": 1, \"action\": \"fail\"}]}",
         "faults[0]: unknown op \"viPeek\""},
        {"{\"faults\": [{\"op\": \"viRead\", \"action\": \"fail\"}]}",
         "faults[0]: a call-level fault needs \"nth\""},
        {"{\"faults\": [{\"op\": \"viRead\", \"nth\": 0, \"action\": \"fail\"}]}",
         "faults[0]: \"nth\" must be an integer from 1 to 2147483647"},
        {"{\"faults\": [{\"op\": \"viWrite\", \"nth\": 1, \"action\": \"reply\"}]}",
         "faults[0]: \"reply\" applies to viRead only"},
        {"{\"faults\": [{\"section\": 1, \"step\": \"flash\"}]}",
         "faults[0]: needs \"op\" and \"nth\", or \"section\" and a known \"step\""},
        {"{\"progressLines\": -2}",
         "scenario: \"progressLines\" must be an integer from -1 to 10000"},
    };
    for (const Case& c : cases) {
        SimScenario s = SimScenario::SingleInstrument();
        std::string error;
        EXPECT_FALSE(SimScenario::FromJson(c.json, s, error)) << c.json;
        EXPECT_EQ(error, c.error) << c.json;
        EXPECT_EQ(s.instruments.size(), 1u);
    }
}
