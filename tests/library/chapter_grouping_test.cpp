#include "library/chapter_grouping.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace novel {
namespace {

struct SuffixCase {
    std::string_view title;
    std::string_view stripped;
};

TEST(StripPageSuffix, RemovesThePageNumbersTheSiteWrites) {
    const std::vector<SuffixCase> cases = {
        {"第2章 夜行（2）", "第2章 夜行"},
        {"第2章 夜行（1/2）", "第2章 夜行"},
        {"第2章 夜行(2/3)", "第2章 夜行"},
        {"第2章 夜行 (3)", "第2章 夜行"},
        {"第2章 夜行（２／３）", "第2章 夜行"},  // full-width digits and slash
        {"第2章 夜行(１２)", "第2章 夜行"},
        {"第2章 夜行（2） ", "第2章 夜行"},
        {"第2章 夜行　（10/12）", "第2章 夜行"},
        {"第2章 夜行（2)", "第2章 夜行"},  // mixed widths, as careless pages have them
    };
    for (const SuffixCase& c : cases) {
        EXPECT_EQ(strip_page_suffix(c.title), c.stripped) << c.title;
    }
}

TEST(StripPageSuffix, LeavesOtherTitlesAsTheyAre) {
    const std::vector<std::string_view> titles = {
        "第2章 夜行",         "第2章 夜行（上）",
        "第2章 夜行()",       "第2章 夜行（/2）",
        "第2章 夜行（1/）",   "第2章 夜行（2",
        "第2章 夜行2）",      "（2）",
        "第2章（2）夜行",     "",
        "第2章 夜行（1//2）",
    };
    for (std::string_view title : titles) {
        EXPECT_EQ(strip_page_suffix(title), title) << title;
    }
}

TEST(ChapterKey, SplitsThePageNumberOff) {
    EXPECT_EQ(parse_chapter_key("880005").chapter, "880005");
    EXPECT_EQ(parse_chapter_key("880005").page, 1);
    EXPECT_EQ(parse_chapter_key("880005_2").chapter, "880005");
    EXPECT_EQ(parse_chapter_key("880005_2").page, 2);
    EXPECT_EQ(parse_chapter_key("880005_13").page, 13);
    // Not a page number: the key names a chapter of its own.
    for (std::string_view key : {"880005_", "_2", "880005_x", "880005_1", "880005_0", "8_2x"}) {
        EXPECT_EQ(parse_chapter_key(key).chapter, key);
        EXPECT_EQ(parse_chapter_key(key).page, 1);
    }
}

TEST(ChapterKey, OnlyALaterPageOfTheSameChapterContinuesIt) {
    EXPECT_TRUE(continues_chapter("880005", "880005_2"));
    EXPECT_TRUE(continues_chapter("880005", "880005_3"));
    EXPECT_FALSE(continues_chapter("880005", "880005"));
    EXPECT_FALSE(continues_chapter("880005", "880006"));
    EXPECT_FALSE(continues_chapter("880005", "880006_2"));
    EXPECT_FALSE(continues_chapter("88000", "880005_2"));
}

}  // namespace
}  // namespace novel
