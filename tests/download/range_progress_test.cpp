#include "download/range_progress.h"

#include <gtest/gtest.h>

namespace novel {
namespace {
using namespace std::chrono_literals;

TEST(RangeProgress, OnlyPlainNumbersInOrderMakeASpan) {
    const std::optional<ChapterSpan> span = plain_chapter_span("3", "12");
    ASSERT_TRUE(span.has_value());
    EXPECT_EQ(span->first, 3u);
    EXPECT_EQ(span->last, 12u);
    EXPECT_TRUE(plain_chapter_span("5", "5").has_value());
    for (const auto& [start, end] :
         {std::pair{"12", "3"}, std::pair{"", "3"}, std::pair{"3", ""}, std::pair{"3a", "9"},
          std::pair{"3", "9_2"}, std::pair{"1", "1234567890123456789012"}}) {
        EXPECT_FALSE(plain_chapter_span(start, end).has_value()) << start << " " << end;
    }
}

TEST(RangeProgress, TheChapterOfAnAddressIgnoresItsPageNumber) {
    EXPECT_EQ(chapter_number_of("https://www.qubige.com/123/45.html"), 45u);
    EXPECT_EQ(chapter_number_of("https://www.qubige.com/123/45_2.html"), 45u);
    EXPECT_FALSE(chapter_number_of("https://www.qubige.com/123/.html").has_value());
}

TEST(RangeProgress, FractionCountsChaptersBeforeTheOneFetchedAndClampsToTheRange) {
    RangeProgressMeter meter({.first = 11, .last = 20});
    EXPECT_EQ(meter.reading(0ms, 11).percent, 0);
    const RangeReading middle = meter.reading(1000ms, 16);
    EXPECT_EQ(middle.done, 5u);
    EXPECT_EQ(middle.total, 10u);
    EXPECT_EQ(middle.percent, 50);
    EXPECT_EQ(meter.reading(2000ms, 99).percent, 90);  // past the end: the last chapter
    EXPECT_EQ(meter.reading(3000ms, 1).done, 0u);      // before the start
}

TEST(RangeProgress, TimeLeftFollowsTheRecentRateNotTheWholeRun) {
    RangeProgressMeter meter({.first = 1, .last = 1001}, 10s);
    EXPECT_FALSE(meter.reading(0s, 1).seconds_left.has_value());  // no rate yet
    // A slow start: one chapter in 10 s, 1000 left at 0.1 a second.
    EXPECT_EQ(meter.reading(10s, 2).seconds_left, 10000);
    // Then ten chapters a second for 20 s; the slow start leaves the window.
    std::optional<std::int64_t> left;
    for (int second = 11; second <= 30; ++second) {
        left = meter.reading(std::chrono::seconds(second), 2 + 10 * (second - 10)).seconds_left;
    }
    // 800 left at 10 a second; the whole run's average would say 120.
    EXPECT_EQ(left, std::optional<std::int64_t>(80));
}

TEST(RangeProgress, AStalledRunHasNoTimeLeft) {
    RangeProgressMeter meter({.first = 1, .last = 10}, 5s);
    (void)meter.reading(0s, 3);
    EXPECT_FALSE(meter.reading(4s, 3).seconds_left.has_value());
    EXPECT_FALSE(meter.reading(60s, 3).seconds_left.has_value());
}

}  // namespace
}  // namespace novel
