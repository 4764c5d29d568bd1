// The simulated visa32.dll as the program meets it under Wine: every entry point under its
// name and its standard ordinal, the scenario taken from FWSIM_SCENARIO and every call
// written to FWSIM_RECORD. Each test loads its own copy of the DLL, so each starts afresh.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "visa/visa_functions.h"

namespace {

#define FWSIM_POINTER_TYPE(ordinal, name, params, args) \
    using name##_fn = ViStatus(__stdcall*) params;
VISA_FUNCTIONS(FWSIM_POINTER_TYPE)
#undef FWSIM_POINTER_TYPE

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int LinesWith(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const std::string& l : lines) n += l.find(text) != std::string::npos;
    return n;
}

class SimDllTest : public ::testing::Test {
  protected:
    // Copies the DLL under a name of this test's own and loads it with `scenarioJson`.
    void Load(const std::string& name, const std::string& scenarioJson) {
        copy_ = TempPath(name + ".dll");
        scenario_ = TempPath(name + ".json");
        record_ = TempPath(name + ".record");
        ASSERT_TRUE(CopyFileA(WindowsPath(FWSIM_VISA32_PATH).c_str(), copy_.c_str(), FALSE));
        std::ofstream(scenario_) << scenarioJson;
        SetEnvironmentVariableA("FWSIM_SCENARIO", scenario_.c_str());
        SetEnvironmentVariableA("FWSIM_RECORD", record_.c_str());
        module_ = LoadLibraryA(copy_.c_str());
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
        DeleteFileA(copy_.c_str());
        DeleteFileA(scenario_.c_str());
        DeleteFileA(record_.c_str());
    }
    template <typename F>
    F ByOrdinal(int ordinal) {
        return reinterpret_cast<F>(GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)));
    }

    HMODULE module_ = nullptr;
    std::string copy_, scenario_, record_;
};

}  // namespace

TEST_F(SimDllTest, EveryEntryPointSitsUnderItsNameAndItsStandardOrdinal) {
    Load("fwsim_exports", "{}");
#define FWSIM_CHECK_EXPORT(ordinal, name, params, args)                                    \
    EXPECT_NE(GetProcAddress(module_, #name), nullptr) << #name;                           \
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(ordinal))), \
              reinterpret_cast<void*>(GetProcAddress(module_, #name)))                     \
        << #name;
    VISA_FUNCTIONS(FWSIM_CHECK_EXPORT)
#undef FWSIM_CHECK_EXPORT
}

// The command line loads the library once and drives each instrument from a thread of its
// own: every call is answered for its own instrument and recorded on a line of its own.
TEST_F(SimDllTest, InstrumentsAskedFromThreadsOfTheirOwnAnswerEachForItself) {
    Load("fwsim_threads", R"({ "instruments": [
      { "resource": "USB0::0x0D3F::0x1141::TW00000001::INSTR", "revision": "R1" },
      { "resource": "USB0::0x0D3F::0x1141::TW00000002::INSTR", "revision": "R2" },
      { "resource": "USB0::0x0D3F::0x1141::TW00000003::INSTR", "revision": "R3" } ] })");
    auto openRm = ByOrdinal<viOpenDefaultRM_fn>(141);
    auto open = ByOrdinal<viOpen_fn>(131);
    auto close = ByOrdinal<viClose_fn>(132);
    auto read = ByOrdinal<viRead_fn>(256);
    auto write = ByOrdinal<viWrite_fn>(257);
    constexpr int kAsks = 50;
    std::vector<int> right(3);
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&, i] {
            const std::string serial = "TW0000000" + std::to_string(i + 1);
            ViSession rm = 0, instrument = 0;
            openRm(&rm);
            open(rm, ("USB0::0x0D3F::0x1141::" + serial + "::INSTR").c_str(), VI_NULL, 1000,
                 &instrument);
            for (int ask = 0; ask < kAsks; ++ask) {
                ViUInt32 count = 0;
                ViByte reply[256] = {};
                write(instrument, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &count);
                read(instrument, reply, 255, &count);
                right[i] += std::string(reinterpret_cast<char*>(reply), count) ==
                            "ZENTROVA CORP.,K4417F," + serial + ",R" + std::to_string(i + 1) + "\n";
            }
            close(rm);
        });
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(right, std::vector<int>(3, kAsks));
    std::vector<std::string> lines = Lines(record_);
    EXPECT_EQ(lines.size(), 3u * (3 + 2 * kAsks));
    EXPECT_EQ(LinesWith(lines, R"("op":"viRead")"), 3 * kAsks);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.rfind(R"({"arg":)", 0) == 0 && line.back() == '}') << line;
}

TEST_F(SimDllTest, ABrokenScenarioFailsEveryCallAndSaysWhy) {
    Load("fwsim_broken", R"({ "instruments": [ { "resource": 5 } ] })");
    ViSession rm = 0;
    EXPECT_EQ(ByOrdinal<viOpenDefaultRM_fn>(141)(&rm), VI_ERROR_SYSTEM_ERROR);
    std::vector<std::string> lines = Lines(record_);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(R"(instruments[0]: \"resource\" must be a string)"), std::string::npos)
        << lines[0];
}
