// Scenarios read from JSON, as the DLL takes them from a file.

#include <gtest/gtest.h>

#include "sim_scenario.h"

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
