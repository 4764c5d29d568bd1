// The built-in knowledge about the K4417F: its record, its regions and how each region's
// revision is cut out of the instrument's revision field.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "firmware/model_catalogue.h"

namespace {

class ModelCatalogueTest : public ::testing::Test {
  protected:
    const ModelRecord& k4417f = ModelCatalogue[0];
    std::string Extract(int row, const char* field) {
        char out[8];
        std::memset(out, 'X', sizeof out);
        k4417f.sections[row].extractRevision(field, out);
        return out;
    }
};

TEST_F(ModelCatalogueTest, FindModelMatchesExactlyAndNeverTheEndRecord) {
    EXPECT_STREQ(k4417f.maker, "ZENTROVA CORP.");
    EXPECT_EQ(FindModel("K4417F"), &ModelCatalogue[0]);
    EXPECT_EQ(ModelCatalogue[1].sections, nullptr);
    for (const char* other : {"k4417f", "K4417F ", "K4417", ""})
        EXPECT_EQ(FindModel(other), nullptr) << other;
}

TEST_F(ModelCatalogueTest, SectionTableListsTheSixRegionsInFileOrder) {
    struct Row {
        const char* name;
        uint8_t first, last;
        uint32_t capacity, flag;
    } expected[] = {
        {"Writer Program", 1, 3, 0x30000, 1}, {"FPGA Code 1", 4, 5, 0x20000, 0},
        {"FPGA Code 2", 6, 6, 0x10000, 0},    {"Main Program", 14, 26, 0xD0000, 0},
        {"http Program", 8, 13, 0x60000, 0},  {"Oem Code", 30, 30, 0x10000, 1},
    };
    ASSERT_EQ(SectionCount(k4417f), 6);
    for (int i = 0; i < 6; ++i) {
        const SectionSpec& row = k4417f.sections[i];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(row.name, expected[i].name);
        EXPECT_EQ(row.firstSector, expected[i].first);
        EXPECT_EQ(row.lastSector, expected[i].last);
        EXPECT_EQ(row.sectorSize, 0x10000u);
        EXPECT_EQ(row.capacity, expected[i].capacity);
        EXPECT_EQ(row.flag, expected[i].flag);
    }
    EXPECT_EQ(k4417f.sections[6].firstSector, kSectionTableEnd);
}

// Rows in table order: Writer 1 char at 6, FPGA 1 2 at 9, FPGA 2 2 at 15, Main 4 at 0,
// http 4 at 18, Oem always "00"; nothing is read past the field's end.
TEST_F(ModelCatalogueTest, ExtractorsCutTheirPositionsOutOfTheRevisionFieldOnly) {
    const std::string full = "ABCDEFGHIJKLMNOPQRSTUV";
    const std::tuple<int, std::string, std::string> cases[] = {
        {0, full, "G"},
        {1, full, "JK"},
        {2, full, "PQ"},
        {3, full, "ABCD"},
        {4, full, "STUV"},
        {5, full, "00"},
        {3, "ABC", "ABC"},
        {0, "ABC", ""},
        {1, "ABC", ""},
        {2, "ABC", ""},
        {4, "ABC", ""},
        {1, "ABCDEFGHIJ", "J"},
        {4, full.substr(0, 20), "ST"},
        {0, "ABCDEF", ""},
        {3, "", ""},
        {5, "", "00"},
    };
    for (const auto& [row, field, expected] : cases)
        EXPECT_EQ(Extract(row, field.c_str()), expected) << row << " of \"" << field << "\"";
}

}  // namespace
