// Checking a parsed file against the K4417F's section table and this utility's version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/result_code.h"
#include "firmware/firmware_info.h"
#include "firmware/firmware_loader.h"
#include "firmware/firmware_parser.h"
#include "firmware/memory_stream.h"
#include "firmware/model_catalogue.h"
#include "firmware_builder.h"

namespace {

class ValidateFirmwareTest : public ::testing::Test {
  protected:
    // Parses the file (which must parse) and validates it against the K4417F.
    int Validate(const FirmwareBuilder& fw) {
        bytes_ = fw.Bytes();
        MemoryStream stream(bytes_);
        int parsed = ParseFirmwareFile(stream, info);
        EXPECT_EQ(parsed, kOk);
        if (parsed != kOk) return -1;
        return ValidateFirmware(info, ModelCatalogue[0]);
    }
    int ValidateUtilityRev(const std::string& utilityRev) {
        K4417FFile file;
        file.utilityRev = utilityRev;
        return Validate(ValidK4417F(file));
    }
    static TestSection SectionWithId(uint8_t id) {
        TestSection s;
        s.id = id;
        return s;
    }

    FirmwareInfo info;
    std::string bytes_;
};

TEST_F(ValidateFirmwareTest, AcceptsAValidFileWhateverTheCaseOfItsModelName) {
    EXPECT_EQ(Validate(ValidK4417F()), kOk);
    EXPECT_EQ(info.cursor, nullptr) << "the walk ends past the last section";
    K4417FFile file;
    file.modelName = "k4417f";
    EXPECT_EQ(Validate(ValidK4417F(file)), kOk);
}

TEST_F(ValidateFirmwareTest, MissingImageRevComesFirstThenMissingUtilityRev) {
    FirmwareBuilder noImageRev;
    noImageRev.Header("ModelName", "K4417F").Header("UtilityRev", "1.0.6").FileStart();
    EXPECT_EQ(Validate(noImageRev), 24) << "whatever its sections";

    FirmwareBuilder noUtilityRev;
    noUtilityRev.Header("ImageRev", "1").Header("ModelName", "K4417F").FileStart();
    noUtilityRev.AddSection(SectionWithId(99));
    EXPECT_EQ(Validate(noUtilityRev), 25);
}

TEST_F(ValidateFirmwareTest, SectionCountMustMatchTheTable) {
    FirmwareBuilder five;
    five.Header("ImageRev", "1").Header("UtilityRev", "1.0").FileStart();
    for (int i = 0; i < 5; ++i) five.AddSection(SectionWithId(kK4417FIds[i]));
    EXPECT_EQ(Validate(five), 26);

    FirmwareBuilder seven = ValidK4417F();
    seven.AddSection(SectionWithId(31));
    EXPECT_EQ(Validate(seven), 30);

    FirmwareBuilder none;
    none.Header("ImageRev", "1").Header("UtilityRev", "1.0").FileStart();
    EXPECT_EQ(Validate(none), 26);
}

TEST_F(ValidateFirmwareTest, SectionsInSectorOrderFailAtTheFourth) {
    FirmwareBuilder fw = ValidK4417F();
    fw.Section(3).id = 8;
    fw.Section(4).id = 14;
    EXPECT_EQ(Validate(fw), 28);
    EXPECT_EQ(info.cursor->id, 8) << "the walk stopped at the fourth section";
}

// A section larger than its region would spill into the next one's sectors.
TEST_F(ValidateFirmwareTest, SectionFillingItsRegionExactlyIsAcceptedOneByteMoreIsNot) {
    const uint32_t sectors[] = {3, 2, 1, 13, 6, 1};  // of 0x10000 bytes, in file order
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        std::vector<uint32_t> sizes = {64, 48, 48, 256, 128, 32};
        sizes[i] = sectors[i] * 0x10000 - kSectionOverhead;
        // The catalogue's capacity is what a full-size file is built to: it must fit too.
        EXPECT_EQ(ModelCatalogue[0].sections[i].capacity, sectors[i] * 0x10000u);
        EXPECT_EQ(Validate(ValidK4417F(sizes)), kOk);
        ++sizes[i];
        EXPECT_EQ(Validate(ValidK4417F(sizes)), 29);
    }
}

TEST_F(ValidateFirmwareTest, FlagIsCheckedBeforeIdAndIdBeforeSize) {
    FirmwareBuilder fw = ValidK4417F({64, 0x20000, 48, 256, 128, 32});
    fw.Section(1).id = 5;
    fw.Section(1).flag = 0;
    EXPECT_EQ(Validate(fw), 27);
    fw.Section(1).flag = 2;
    EXPECT_EQ(Validate(fw), 28);
    fw.Section(1).id = 4;
    EXPECT_EQ(Validate(fw), 29);
}

// The utility's version is compared as text, not as a number.
TEST_F(ValidateFirmwareTest, UtilityRevComparesLexically) {
    for (const char* accepted : {"1.0.6", "1.0.5", "1.0", "1.0.10", "0.9", "1", "1.0.6 "})
        EXPECT_EQ(ValidateUtilityRev(accepted), kOk) << accepted;
    for (const char* refused : {"1.0.7", "1.1", "2", "1.0.6A", "1.0.6a", "1.0.6.0", "A"})
        EXPECT_EQ(ValidateUtilityRev(refused), 33) << refused;
}

}  // namespace
