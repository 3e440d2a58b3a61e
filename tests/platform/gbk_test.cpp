#include "platform/gbk.h"

#include <gtest/gtest.h>

using namespace novel;

TEST(Gbk, RoundTrips) { EXPECT_EQ(utf16_to_gbk(gbk_to_utf16("\xc4\xe3" "a")), "\xc4\xe3" "a"); }
