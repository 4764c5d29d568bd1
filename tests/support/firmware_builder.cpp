#include "firmware_builder.h"

#include <atomic>
#include <chrono>
#include <filesystem>

TempFile::TempFile(const std::string& bytes, const std::string& suffix) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = ".";
    std::string name =
        "fwtest_" + std::to_string(stamp) + "_" + std::to_string(counter.fetch_add(1)) + suffix;
    path_ = (dir / name).string();
    WriteFileBytes(path_, bytes);
}

TempFile::~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}
