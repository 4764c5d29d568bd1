// A dialog left open all day: a thousand files loaded, good and bad, and a hundred updates,
// some of them failing. The sanitized build's leak checker sees anything left unfreed at
// exit; here the heap in use must not creep up from the first hundred to the last.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "firmware_builder.h"
#include "memory_in_use.h"
#include "update_fixture.h"

namespace {

// Heap that may come and go between two measurements without being a leak (allocator
// bookkeeping, a string's capacity).
constexpr int64_t kGrowthAllowance = 16 * 1024;

struct Variant {
    std::string name;
    std::string bytes;
    int code;  // what loading it reports; -1: loads
};

// Files ending a load in different ways; five of them, so that a hundred loads end on the
// same one as a thousand.
std::vector<Variant> LoadVariants() {
    std::vector<Variant> v;
    v.push_back({"valid", ValidK4417F().Bytes(), -1});
    FirmwareBuilder shortFile = ValidK4417F();
    shortFile.DropTail(1);
    v.push_back({"section cut short", shortFile.Bytes(), 23});
    v.push_back(
        {"header value too long", "#ImageRev=" + std::string(16, '1') + "\n#FileStart\n", 32});
    K4417FFile unknown;
    unknown.modelName = "K4417G";
    v.push_back({"unknown model", ValidK4417F(unknown).Bytes(), 31});
    FirmwareBuilder huge = ValidK4417F();
    huge.Section(5).lengthField = 0xFFFFFFF0u;  // claims gigabytes that are not there
    v.push_back({"length field past the file", huge.Bytes(), 23});
    return v;
}

class LongSession : public UpdateFixture {};

}  // namespace

TEST_F(LongSession, ThousandLoadsOfGoodAndBadFilesDoNotGrowTheHeap) {
    const std::vector<Variant> variants = LoadVariants();
    ASSERT_EQ(100 % variants.size(), 0u);
    std::vector<std::unique_ptr<TempFile>> files;
    for (const Variant& v : variants) files.push_back(std::make_unique<TempFile>(v.bytes));

    Start();
    int64_t afterFirstHundred = 0;
    for (int load = 1; load <= 1000; ++load) {
        const size_t which = static_cast<size_t>(load - 1) % variants.size();
        window.boxes.clear();
        window.texts[IDC_LOG].clear();
        const bool loaded = LoadPath(files[which]->path());
        if (load <= static_cast<int>(variants.size())) {
            // Each variant ends its own way the first time round.
            const Variant& v = variants[which];
            EXPECT_EQ(loaded, v.code < 0) << v.name;
            if (v.code >= 0) {
                EXPECT_EQ(ReportedCode(), v.code) << v.name;
            }
        }
        if (load == 100) afterFirstHundred = MemoryInUse();
    }
    const int64_t afterLastHundred = MemoryInUse();
    EXPECT_EQ(window.fileDialogs, 1000);
    if (afterFirstHundred < 0) GTEST_SKIP() << "heap in use cannot be measured here";
    std::cout << "[ heap     ] loads: " << afterFirstHundred << " bytes in use after 100, "
              << afterLastHundred << " after 1000\n";
    EXPECT_LE(afterLastHundred - afterFirstHundred, kGrowthAllowance)
        << "heap grew from " << afterFirstHundred << " to " << afterLastHundred << " bytes";
}

TEST_F(LongSession, HundredUpdatesEndingEveryWayDoNotGrowTheHeap) {
    // Each run on a fresh dialog and instrument, failing at a different step or not at all.
    const std::vector<SimFault> faults = [] {
        std::vector<SimFault> f(10);
        f[1].op = "viOpen", f[1].nth = 1, f[1].action = "fail";
        f[2].op = "viRead", f[2].nth = 2, f[2].action = "timeout";
        f[3].section = 2, f[3].step = "reset", f[3].text = "NG";
        f[4].section = 3, f[4].step = "checksum", f[4].text = "12345";
        f[5].section = 4, f[5].step = "final", f[5].text = "PROGRAM NG";
        f[6].op = "viWrite", f[6].nth = 20, f[6].action = "fail";
        f[7].section = 6, f[7].step = "flash_check", f[7].action = "silent";
        f[8].op = "viFindRsrc", f[8].nth = 1, f[8].action = "fail";
        f[9].section = 1, f[9].step = "final", f[9].text = "DATA IS THE LATEST UPDATE";
        return f;
    }();
    const std::string fileBytes = ValidK4417F().Bytes();
    int64_t afterFirstTen = 0;
    for (int run = 1; run <= 100; ++run) {
        SimScenario scenario = Bench();
        const SimFault& fault = faults[static_cast<size_t>(run - 1) % faults.size()];
        if (fault.callLevel() || fault.section != 0) scenario.faults.push_back(fault);
        Start(scenario);
        ASSERT_TRUE(Load(fileBytes));
        PressUpdate();
        EXPECT_EQ(Completed(), run % 10 == 1) << "run " << run << ": " << window.Log();
        EXPECT_EQ(sim->openSessionCount(), 0) << "run " << run;
        // Measured with the dialog and the instrument gone, as after the last run.
        core.reset();
        sim.reset();
        file.reset();
        if (run == 10) afterFirstTen = MemoryInUse();
    }
    const int64_t afterLast = MemoryInUse();
    if (afterFirstTen < 0) GTEST_SKIP() << "heap in use cannot be measured here";
    std::cout << "[ heap     ] updates: " << afterFirstTen << " bytes in use after 10, "
              << afterLast << " after 100\n";
    EXPECT_LE(afterLast - afterFirstTen, kGrowthAllowance)
        << "heap grew from " << afterFirstTen << " to " << afterLast << " bytes";
}
