// The operating-system layer as fwtool uses it on POSIX: the report's appends, the clock and
// its pauses, the terminal's answers and a stop request.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "os/os.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Standard input replaced by a pipe the test writes into.
class PipedStdin {
  public:
    PipedStdin() : saved_(dup(STDIN_FILENO)) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        dup2(ends[0], STDIN_FILENO);
        close(ends[0]);
        writeEnd_ = ends[1];
    }
    ~PipedStdin() {
        if (writeEnd_ >= 0) close(writeEnd_);
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }
    void Type(const std::string& text) {
        EXPECT_EQ(write(writeEnd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void End() { close(writeEnd_), writeEnd_ = -1; }

  private:
    int saved_;
    int writeEnd_ = -1;
};

}  // namespace

TEST(OsPosix, AppendsOfSeveralWritersFollowOneAnotherWholeAtTheEnd) {
    const std::string path = testing::TempDir() + "os_append_" + std::to_string(getpid());
    unlink(path.c_str());
    os::AppendFile first, second;
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(first.Append("lost\n"));
    ASSERT_TRUE(first.Open(path));  // created
    ASSERT_TRUE(second.Open(path));
    EXPECT_TRUE(first.Append("one\n"));
    EXPECT_TRUE(second.Append("two\n"));
    EXPECT_TRUE(first.Append("three\n"));
    EXPECT_EQ(Contents(path), "one\ntwo\nthree\n");
    EXPECT_FALSE(os::AppendFile().Open(path + ".d/no/such/folder"));
    unlink(path.c_str());
}

TEST(OsPosix, PausesLastAtLeastTheirTimeOnTheMonotonicClock) {
    os::SystemClock clock;
    const uint64_t start = clock.NowMs();
    clock.Sleep(20);
    os::SleepAtLeastMs(10);
    EXPECT_GE(clock.NowMs() - start, 30u);
    EXPECT_TRUE(std::regex_match(os::UtcTimestamp(),
                                 std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:"
                                            "[0-6][0-9]Z")));
}

TEST(OsPosix, AnswersAreReadLineByLineUntilTheInputEndsOrAStopIsRequested) {
    PipedStdin input;
    EXPECT_FALSE(os::StdinIsTerminal());
    input.Type("yes\r\nno\n");
    std::string line;
    EXPECT_TRUE(os::ReadTerminalLine(line));
    EXPECT_EQ(line, "yes");
    EXPECT_TRUE(os::ReadTerminalLine(line));
    EXPECT_EQ(line, "no");

    std::atomic<bool> stop{false};
    os::WatchStopSignals(stop);
    raise(SIGINT);  // handled: the test goes on
    EXPECT_TRUE(stop.load());
    input.Type("y\n");
    EXPECT_FALSE(os::ReadTerminalLine(line)) << "an answer after Ctrl+C is no answer";
    stop = false;
    input.Type("tail");
    input.End();
    EXPECT_FALSE(os::ReadTerminalLine(line)) << "no line end before the input ended";
    signal(SIGINT, SIG_DFL);
}
