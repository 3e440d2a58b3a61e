#include "chapter/text_operations.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;
using namespace novel;

TEST(FindText, FindsFirstOccurrenceFromStart) {
    EXPECT_EQ(find_text("abcabc", "bc"), 2);
    EXPECT_EQ(find_text("abcabc", "bc", 3), 5);
}
