// The two byte sources the parser reads from behave alike: a file on disk and memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "firmware/file_stream.h"
#include "firmware/memory_stream.h"
#include "firmware_builder.h"

namespace {

enum class Kind { kFile, kMemory };

class FirmwareStreamTest : public ::testing::TestWithParam<Kind> {
  protected:
    FirmwareStream& Open(const std::string& bytes) {
        bytes_ = bytes;
        if (GetParam() == Kind::kMemory) {
            memory_ = std::make_unique<MemoryStream>(bytes_);
            return *memory_;
        }
        file_ = std::make_unique<TempFile>(bytes_);
        stream_ = OpenFirmwareFile(file_->path());
        EXPECT_TRUE(stream_.IsOpen());
        return stream_;
    }
    std::string ReadLine(FirmwareStream& s, size_t max = 1022) {
        char buffer[1024];
        size_t n = s.ReadLine(buffer, max);
        return std::string(buffer, n);
    }

    std::string bytes_;
    std::unique_ptr<MemoryStream> memory_;
    std::unique_ptr<TempFile> file_;
    FileStream stream_;
};

TEST_P(FirmwareStreamTest, LinesEndAtLineFeedsAndALastLineNeedsNone) {
    FirmwareStream& s = Open("one\r\n\ntwo");
    EXPECT_EQ(ReadLine(s), "one\r");
    EXPECT_FALSE(s.AtEnd());
    EXPECT_EQ(ReadLine(s), "");
    EXPECT_EQ(ReadLine(s), "two");
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Position(), 9u);
}

TEST_P(FirmwareStreamTest, LongLinesComeInPieces) {
    FirmwareStream& s = Open(std::string(1022, 'a') + "#b\n");
    EXPECT_EQ(ReadLine(s), std::string(1022, 'a'));
    EXPECT_EQ(ReadLine(s), "#b");
    EXPECT_FALSE(s.AtEnd()) << "the line feed was the last byte but no read ran past it";
    EXPECT_EQ(ReadLine(s), "");
    EXPECT_TRUE(s.AtEnd());
}

TEST_P(FirmwareStreamTest, ReadsAreCountedAndSeekingClearsTheEnd) {
    FirmwareStream& s = Open("0123456789");
    char buffer[16];
    ASSERT_TRUE(s.Seek(7));
    EXPECT_EQ(s.Read(buffer, 16), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_TRUE(s.AtEnd());
    ASSERT_TRUE(s.Seek(10));
    EXPECT_FALSE(s.AtEnd()) << "a seek to where the stream stands clears the end too";
    ASSERT_TRUE(s.Seek(2));
    EXPECT_FALSE(s.AtEnd());
    EXPECT_EQ(s.Read(buffer, 2), 2u);
    EXPECT_FALSE(s.AtEnd()) << "a read that got all it asked for";
    EXPECT_EQ(s.Position(), 4u);
    ASSERT_TRUE(s.SeekToEnd());
    EXPECT_EQ(s.Position(), 10u);
    EXPECT_EQ(s.Read(buffer, 1), 0u);
    ASSERT_TRUE(s.Seek(20));
    EXPECT_EQ(s.Read(buffer, 1), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothSources, FirmwareStreamTest,
                         ::testing::Values(Kind::kFile, Kind::kMemory), [](const auto& info) {
                             return info.param == Kind::kFile ? "File" : "Memory";
                         });

TEST(FileStream, MissingFileIsNotOpenAndSeeksNowhere) {
    FileStream missing = OpenFirmwareFile("/nonexistent/dir/none.fw");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.SeekToEnd());
#ifndef _WIN32
    // /dev/null takes any position a signed 64-bit offset names, and only those.
    FileStream null = OpenFirmwareFile("/dev/null");
    EXPECT_TRUE(null.Seek(INT64_MAX));
    EXPECT_FALSE(null.Seek(uint64_t{INT64_MAX} + 1));
#endif
}

}  // namespace
