// Back and forward through the chapters read in a run.

#include "app/reading_history.h"

#include <gtest/gtest.h>

namespace novel {
namespace {

TEST(ReadingHistory, GoesBackAndForwardAndStopsAtEitherEnd) {
    ReadingHistory history;
    EXPECT_EQ(history.go_back(), std::nullopt);
    EXPECT_EQ(history.go_forward(), std::nullopt);

    for (const char* link : {"1", "2", "3"}) history.visit(link);
    EXPECT_EQ(history.go_back(), "2");
    EXPECT_EQ(history.go_back(), "1");
    EXPECT_FALSE(history.can_go_back());
    EXPECT_EQ(history.go_back(), std::nullopt);
    EXPECT_EQ(history.go_forward(), "2");
    EXPECT_EQ(history.go_forward(), "3");
    EXPECT_FALSE(history.can_go_forward());
    EXPECT_EQ(history.go_forward(), std::nullopt);
}

TEST(ReadingHistory, ReadingOnAfterGoingBackFollowsTheHistoryUntilItLeavesIt) {
    ReadingHistory history;
    for (const char* link : {"1", "2", "3", "4"}) history.visit(link);
    ASSERT_EQ(history.go_back(), "3");
    ASSERT_EQ(history.go_back(), "2");

    // Paging on from 2 reads 3: what came after it is still there.
    history.visit("3");
    EXPECT_TRUE(history.can_go_forward());
    EXPECT_EQ(history.go_back(), "2");
    EXPECT_EQ(history.go_forward(), "3");

    // Another chapter replaces what followed.
    history.visit("9");
    EXPECT_FALSE(history.can_go_forward());
    EXPECT_EQ(history.go_back(), "3");
    EXPECT_EQ(history.go_back(), "2");
}

TEST(ReadingHistory, ReadingTheSameChapterAgainAddsNothing) {
    ReadingHistory history;
    history.visit("1");
    history.visit("1");
    EXPECT_FALSE(history.can_go_back());
    history.visit("2");
    history.visit("2");
    EXPECT_EQ(history.go_back(), "1");
    EXPECT_FALSE(history.can_go_back());
}

}  // namespace
}  // namespace novel
