// The operating-system layer as fwtool uses it on POSIX: the report's appends, the clock and
// its pauses, the terminal's answers and the stop signals.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "base/unique_fd.h"
#include "os/os.h"
#include "os/record_file.h"
#include "os/stop_signals.h"

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

TEST(OsPosix, ReportLinesOfSeveralWritersFollowOneAnotherWholeOrFailWithTheReason) {
    const std::string path = testing::TempDir() + "os_append_" + std::to_string(getpid());
    unlink(path.c_str());
    os::RecordFile first, second;
    EXPECT_FALSE(first.IsOpen());
    EXPECT_NE(first.Append("lost\n"), 0);
    ASSERT_EQ(first.Open(path), 0);  // created
    ASSERT_EQ(second.Open(path), 0);
    EXPECT_EQ(first.Append("one\n"), 0);
    EXPECT_EQ(second.Append("two\n"), 0);
    EXPECT_EQ(first.Append("three\n"), 0);
    EXPECT_EQ(Contents(path), "one\ntwo\nthree\n");
    EXPECT_EQ(os::RecordFile().Open(path + ".d/no/such/folder"), ENOENT);
    unlink(path.c_str());

    os::RecordFile full;
    ASSERT_EQ(full.Open("/dev/full"), 0);
    EXPECT_EQ(full.Append("one\n"), ENOSPC);
    EXPECT_EQ(os::SystemErrorText(ENOSPC), "No space left on device");
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
    if (UniqueFd(open("/dev/tty", O_RDWR | O_NOCTTY))) GTEST_SKIP() << "a terminal would be asked";
    PipedStdin input;
    EXPECT_FALSE(os::StdinIsTerminal());
    input.Type("yes\r\nno\n");
    std::atomic<bool> stop{false};
    std::string line;
    EXPECT_TRUE(os::AskTerminal("", line, stop));
    EXPECT_EQ(line, "yes");
    EXPECT_TRUE(os::AskTerminal("", line, stop));
    EXPECT_EQ(line, "no");
    stop = true;  // no input comes, yet the question ends
    EXPECT_FALSE(os::AskTerminal("", line, stop));
    stop = false;
    input.Type("tail");
    input.End();
    EXPECT_FALSE(os::AskTerminal("", line, stop)) << "no line end before the input ended";
}

TEST(OsPosix, StopSignalsAreTakenByTheirOwnThreadTheFirstStopsTheOthersAreAcknowledged) {
    std::atomic<int> repeats{0};
    {
        os::StopSignals stop([&] { ++repeats; });
        kill(getpid(), SIGTERM);  // blocked here: taken by the signals' own thread
        for (int i = 0; i < 100 && !stop.requested(); ++i) os::SleepAtLeastMs(10);
        EXPECT_TRUE(stop.requested());
        EXPECT_EQ(stop.signal(), SIGTERM);
        kill(getpid(), SIGINT);
        kill(getpid(), SIGHUP);
        for (int i = 0; i < 100 && repeats < 2; ++i) os::SleepAtLeastMs(10);
        EXPECT_EQ(stop.signal(), SIGTERM) << "the first one counts";
    }
    EXPECT_EQ(repeats, 2);
    sigset_t stops;
    sigemptyset(&stops);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, number);
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
}
