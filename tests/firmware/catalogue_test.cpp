// The built-in knowledge about the K4417F: its record, its regions and how each region's
// revision is cut out of the instrument's revision field.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

TEST_F(ModelCatalogueTest, HoldsTheK4417FAndEndsWithAnEmptyRecord) {
    EXPECT_STREQ(k4417f.maker, "ZENTROVA CORP.");
    EXPECT_STREQ(k4417f.modelName, "K4417F");
    EXPECT_STREQ(ModelCatalogue[1].modelName, "");
    EXPECT_EQ(ModelCatalogue[1].sections, nullptr);
    EXPECT_STREQ(UTILITY_VERSION, "1.0.6");
}

TEST_F(ModelCatalogueTest, FindModelMatchesExactlyAndNeverTheEndRecord) {
    EXPECT_EQ(FindModel("K4417F"), &ModelCatalogue[0]);
    EXPECT_EQ(FindModel("k4417f"), nullptr);
    EXPECT_EQ(FindModel("K4417F "), nullptr);
    EXPECT_EQ(FindModel("K4417"), nullptr);
    EXPECT_EQ(FindModel(""), nullptr);
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
        EXPECT_EQ(row.capacity, (row.lastSector - row.firstSector + 1u) * row.sectorSize);
        EXPECT_EQ(row.flag, expected[i].flag);
        EXPECT_NE(row.extractRevision, nullptr);
    }
    EXPECT_EQ(k4417f.sections[6].firstSector, kSectionTableEnd);
}

TEST_F(ModelCatalogueTest, ExtractorsCutTheirPositionsOutOfTheRevisionField) {
    const char* field = "ABCDEFGHIJKLMNOPQRSTUV";
    EXPECT_EQ(Extract(0, field), "G");
    EXPECT_EQ(Extract(1, field), "JK");
    EXPECT_EQ(Extract(2, field), "PQ");
    EXPECT_EQ(Extract(3, field), "ABCD");
    EXPECT_EQ(Extract(4, field), "STUV");
    EXPECT_EQ(Extract(5, field), "00");
}

TEST_F(ModelCatalogueTest, ExtractorsReadOnlyInsideTheField) {
    EXPECT_EQ(Extract(3, "ABC"), "ABC");
    for (int row : {0, 1, 2, 4}) EXPECT_EQ(Extract(row, "ABC"), "") << row;
    EXPECT_EQ(Extract(1, "ABCDEFGHIJ"), "J") << "a span running past the end is cut";
    EXPECT_EQ(Extract(4, "ABCDEFGHIJKLMNOPQRST"), "ST");
    EXPECT_EQ(Extract(0, "ABCDEF"), "") << "position 6 is exactly the end";
    EXPECT_EQ(Extract(3, ""), "");
    EXPECT_EQ(Extract(5, ""), "00");
}

}  // namespace
