#include "download/progress_figures.h"

#include <gtest/gtest.h>

namespace novel {
namespace {
using namespace std::chrono_literals;

TEST(ProgressFigures, CountdownsRoundUpUntilTheWaitIsOver) {
    EXPECT_EQ(seconds_left(0ms), 0);
    EXPECT_EQ(seconds_left(-5ms), 0);
    EXPECT_EQ(seconds_left(1ms), 1);
    EXPECT_EQ(seconds_left(1000ms), 1);
    EXPECT_EQ(seconds_left(1001ms), 2);
    EXPECT_EQ(seconds_left(16000ms), 16);
}

TEST(ProgressFigures, SizesInBytesKilobytesAndMegabytes) {
    EXPECT_EQ(size_text(0), "0 B");
    EXPECT_EQ(size_text(1023), "1023 B");
    EXPECT_EQ(size_text(1024), "1.0 KB");
    EXPECT_EQ(size_text(1536), "1.5 KB");
    EXPECT_EQ(size_text(1024 * 1024 - 1), "1024.0 KB");
    EXPECT_EQ(size_text(1024 * 1024), "1.0 MB");
    EXPECT_EQ(size_text(3 * 1024 * 1024 + 400 * 1024), "3.4 MB");
}

}  // namespace
}  // namespace novel
