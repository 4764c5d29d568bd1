// What fwtool's runs rely on from the operating-system layer that a real process cannot show
// reliably: the output thread under a reader that stalls or goes away, and the instrument
// lock as another process (here: another thread) meets it.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "firmware_builder.h"
#include "os/instrument_lock.h"
#include "os/output_writer.h"

namespace {

using os::InstrumentLock;
using os::OutputWriter;

// A reader that takes nothing until it is let go, then everything; stderr is closed.
struct StalledReader {
    std::mutex mutex;
    std::condition_variable changed;
    bool stalled = true;
    std::vector<std::string> read;

    bool Take(OutputWriter::Stream stream, const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return !stalled; });
        if (stream == OutputWriter::kErr) return false;
        read.push_back(text);
        return true;
    }
    void LetGo() {
        std::lock_guard<std::mutex> lock(mutex);
        stalled = false;
        changed.notify_all();
    }
};

TEST(OutputWriterTest, ASlowReaderGetsEveryLogLineAndOnlyTheNewestProgressAClosedStreamNothing) {
    StalledReader reader;
    {
        OutputWriter writer(
            [&](OutputWriter::Stream s, const std::string& t) { return reader.Take(s, t); });
        // Queuing never waits for the reader, and waiting progress does not pile up.
        for (int i = 0; i < 1000; ++i) {
            writer.WriteLatest("A", OutputWriter::kOut, [i] { return "A " + std::to_string(i); });
            writer.WriteLatest("B", OutputWriter::kOut, [i] { return "B " + std::to_string(i); });
            if (i % 100 == 0) writer.Write(OutputWriter::kOut, "log " + std::to_string(i));
        }
        writer.Write(OutputWriter::kErr, "lost");
        writer.Write(OutputWriter::kErr, "never tried");
        writer.Write(OutputWriter::kOut, "end");
        reader.LetGo();
        writer.Flush();
        EXPECT_TRUE(writer.failed(OutputWriter::kErr));
        EXPECT_FALSE(writer.failed(OutputWriter::kOut));
    }
    std::vector<std::string> logs;
    int progress = 0;
    for (const std::string& line : reader.read)
        line[0] == 'l' || line == "end" ? logs.push_back(line) : void(++progress);
    EXPECT_EQ(logs, (std::vector<std::string>{"log 0", "log 100", "log 200", "log 300", "log 400",
                                              "log 500", "log 600", "log 700", "log 800", "log 900",
                                              "end"}));
    EXPECT_LE(progress, 3) << "the first, perhaps, and the newest of each key";
    EXPECT_EQ(reader.read[reader.read.size() - 3], "A 999");
    EXPECT_EQ(reader.read[reader.read.size() - 2], "B 999");
}

class InstrumentLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir);
        os::UseInstrumentLockFolder(dir);
    }
    void TearDown() override {
        os::UseInstrumentLockFolder("");
        std::filesystem::remove_all(dir);
    }
    // Take as another process would: from a thread of its own (as a Windows mutex would
    // need), released when that thread is done.
    static InstrumentLock::Result TakeElsewhere(const std::string& serial) {
        InstrumentLock::Result result;
        std::thread([&] { result = InstrumentLock().Take(serial); }).join();
        return result;
    }

    TempFile base{""};
    const std::string dir = base.path() + ".locks";
};

TEST_F(InstrumentLockTest, OneHolderPerSerialWhateverItsLetterCaseUntilReleased) {
    InstrumentLock held;
    ASSERT_EQ(held.Take("TW00012345"), InstrumentLock::kTaken);
    EXPECT_EQ(TakeElsewhere("tw00012345"), InstrumentLock::kBusy);
    EXPECT_EQ(TakeElsewhere("TW00012346"), InstrumentLock::kTaken);
    held.Release();
    EXPECT_EQ(TakeElsewhere("TW00012345"), InstrumentLock::kTaken);
    EXPECT_EQ(os::InstrumentLockName("tw/../1 2"), "fwtool-TW_.._1_2");
}

TEST_F(InstrumentLockTest, ALinkPlantedInTheLockDirectoryGetsNothing) {
    const std::string victim = dir + "/victim";
    std::filesystem::create_symlink(victim, dir + "/fwtool-TW00012345.lock");
    InstrumentLock lock;
    lock.Take("TW00012345");
    EXPECT_FALSE(std::filesystem::exists(victim));

    std::ofstream(victim) << "kept";
    lock.Take("TW00012345");
    std::ifstream in(victim);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "kept");
}

}  // namespace
