#include "ui/error_table.h"

#include <gtest/gtest.h>

#include "recording_window.h"
#include "ui/log_pane.h"

TEST(ReportError, CancelIsLoggedWithoutABox) {
    RecordingWindow window;
    ReportError(window, 2);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.Log(), "\r\nError number: 2");
}

TEST(ReportError, LatestUpdateHasAMessageButNoBox) {
    RecordingWindow window;
    ReportError(window, 19);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.Log(), "\r\nError number: 19");
}

TEST(ReportError, CorruptedFileShowsTheErrorBoxThenLogs) {
    RecordingWindow window;
    AppendLog(window, "Connect ... ");
    ReportError(window, 31);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0], (RecordedBox{"The firmware revision file is corrupted.", "Error",
                                            kMbOk | kMbIconHand, true}));
    EXPECT_EQ(window.Log(), "Connect ... \r\nError number: 31");
}

TEST(ReportError, BoxRowsMatchTheTable) {
    const int boxed[] = {0, 1, 3, 4, 5, 8, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33};
    int count = 0;
    for (int code = 0; code < kErrorCount; ++code) count += kErrorTable[code].showBox;
    EXPECT_EQ(count, static_cast<int>(std::size(boxed)));
    for (int code : boxed) EXPECT_EQ(kErrorTable[code].showBox, 1) << code;
    EXPECT_STREQ(kErrorTable[33].message,
                 "The utility is not compatible with this firmware revision file.");
}

TEST(AppendLog, KeepsTheEndInView) {
    RecordingWindow window;
    for (int i = 0; i < 100; ++i) AppendLog(window, "OK\r\n");
    EXPECT_EQ(window.scrolls, 100);
    ClearLog(window);
    EXPECT_EQ(window.Log(), "");
}
