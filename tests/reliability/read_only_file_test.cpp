// The firmware file is only ever read: a file the operator cannot write to loads and
// updates like any other, and afterwards its bytes and modification time are as before.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "firmware_builder.h"
#include "update_fixture.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes the file read-only for the test's duration, writable again for its removal.
class ReadOnly {
  public:
    explicit ReadOnly(const std::string& path) : path_(path) {
        std::filesystem::permissions(path_, std::filesystem::perms::owner_read |
                                                std::filesystem::perms::group_read |
                                                std::filesystem::perms::others_read);
    }
    ~ReadOnly() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
    }

  private:
    std::string path_;
};

class FirmwareFileIsOnlyRead : public UpdateFixture {};

}  // namespace

TEST_F(FirmwareFileIsOnlyRead, ReadOnlyFileLoadsAndUpdatesAndStaysUnchanged) {
    const std::string bytes = ValidK4417F().Bytes();
    Start();
    TempFile copy(bytes);
    const std::string& path = copy.path();
    // A modification time in the past, so that any rewrite would show even on a coarse clock;
    // read back, as the file system keeps it at its own resolution.
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    const auto stamp = std::filesystem::last_write_time(path);
    ReadOnly readOnly(path);

    ASSERT_TRUE(LoadPath(path)) << window.Log();
    PressUpdate();
    EXPECT_TRUE(Completed()) << window.Log();
    // Loaded once more after the update, as an operator checking the file would.
    EXPECT_TRUE(LoadPath(path));

    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
    const auto perms = std::filesystem::status(path).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}
