#include "download/range_checks.h"

#include <gtest/gtest.h>

namespace novel {
namespace {

using Doubts = std::vector<RangeDoubt>;

TEST(RangeDoubts, NameEachBoxThatMayNotMeanWhatWasIntended) {
    EXPECT_EQ(range_doubts({.book = "123", .start = "1", .end = "3"}), Doubts{});
    EXPECT_EQ(range_doubts({.book = "123", .start = "7", .end = "7"}), Doubts{});
    EXPECT_EQ(range_doubts({.book = "123", .start = "1", .end = ""}),
              Doubts{RangeDoubt::end_empty});
    EXPECT_EQ(range_doubts({}),
              (Doubts{RangeDoubt::book_empty, RangeDoubt::start_empty, RangeDoubt::end_empty}));
    EXPECT_EQ(range_doubts({.book = "123", .start = "a1", .end = "3_2"}),
              (Doubts{RangeDoubt::start_not_number, RangeDoubt::end_not_number}));
}

TEST(RangeDoubts, StartAfterEndComparesNumbersNotTexts) {
    EXPECT_EQ(range_doubts({.book = "1", .start = "9", .end = "10"}), Doubts{});
    EXPECT_EQ(range_doubts({.book = "1", .start = "009", .end = "10"}), Doubts{});
    EXPECT_EQ(range_doubts({.book = "1", .start = "10", .end = "9"}),
              Doubts{RangeDoubt::start_after_end});
    EXPECT_EQ(range_doubts({.book = "1", .start = "123456789012345678901", .end = "99"}),
              Doubts{RangeDoubt::start_after_end});
}

}  // namespace
}  // namespace novel
