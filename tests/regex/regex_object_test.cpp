#include "regex/regex_object.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/gbk.h"

using namespace std::string_literals;
using namespace std::string_view_literals;
using namespace novel;

namespace {

constexpr std::string_view kLinkPattern = "<a href=\"(.*?)\">";

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

// A chapter page in GBK with `links` link tags, Chinese text around them.
std::string page_with_links(int links, std::u16string_view tag_start = u"<a href=\"") {
    std::u16string page = u"<html><head><title>第一章 开始</title></head>\r\n<body>\r\n";
    for (int i = 1; i <= links; ++i) {
        const std::u16string number(
            std::u16string_view(u"0123456789").substr(static_cast<std::size_t>(i / 10), 1));
        page += u"<p>正文，章节目录</p>\r\n";
        page += std::u16string(tag_start) + u"/book/" + number +
                std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".html\">链接</a>\r\n";
    }
    page += u"</body></html>\r\n";
    return gbk(page);
}

}  // namespace

TEST(RegexObjectLinks, TheTwentyFourthLinkOfAPage) {
    RegexObject regex;
    regex.execute(kLinkPattern, page_with_links(23));
    EXPECT_EQ(regex.match_count(), 23);
    EXPECT_EQ(regex.submatch(24, 1), "");

    regex.execute(kLinkPattern, page_with_links(24));
    EXPECT_EQ(regex.submatch(24, 1), "/book/24.html"sv);

    regex.execute(kLinkPattern, page_with_links(30));
    EXPECT_EQ(regex.match_count(), 30);
    EXPECT_EQ(regex.submatch(24, 1), "/book/24.html"sv);
    EXPECT_EQ(regex.match(24), "<a href=\"/book/24.html\">"sv);
    EXPECT_EQ(regex.submatch_count(), 1);
}

TEST(RegexObjectLinks, CapitalTagsMatchUnlessCaseSensitive) {
    RegexObject regex;
    EXPECT_TRUE(regex.execute(kLinkPattern, page_with_links(30, u"<A HREF=\"")));
    EXPECT_EQ(regex.submatch(24, 1), "/book/24.html"sv);
    EXPECT_TRUE(
        regex.execute(kLinkPattern, page_with_links(30, u"<A HREF=\""), {.case_sensitive = true}));
    EXPECT_EQ(regex.match_count(), 0);
}

TEST(RegexObjectLinks, ATagAcrossALineBreakIsNotALink) {
    RegexObject regex;
    regex.execute(kLinkPattern,
                  "<a\nhref=\"/1\"><a href=\"/2\n\"><a href=\"/3\r\"><a href=\"/4\">"sv);
    ASSERT_EQ(regex.match_count(), 2);
    EXPECT_EQ(regex.submatch(1, 1), "/3\r"sv);  // "." takes a carriage return
    EXPECT_EQ(regex.submatch(2, 1), "/4"sv);
}

TEST(RegexObjectEdges, BeforeAnyExecute) {
    const RegexObject regex;
    EXPECT_EQ(regex.pattern(), "");
    EXPECT_EQ(regex.replace("x"), "");
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.submatch_count(), 0);
    int position = 7;
    EXPECT_EQ(regex.match(1, &position), "");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(regex.submatch(1, 1), "");
}

TEST(RegexObjectEdges, InvalidPatternFailsAndDropsEarlierMatches) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a", "aaa"));
    ASSERT_EQ(regex.match_count(), 3);
    EXPECT_FALSE(regex.execute("(a", "aaa"));
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.match(1), "");
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.replace("b"), "");
    EXPECT_EQ(regex.pattern(), "(a");  // the engine exists and keeps its pattern
    EXPECT_FALSE(regex.execute("(?<=a)b", "ab"));
}

TEST(RegexObjectEdges, ASearchThatGivesUpFailsAndDropsEarlierMatches) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a", "aaa"));
    EXPECT_FALSE(regex.execute("(a|a)*b", std::string(40, 'a') + "cb"));
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.match(1), "");
    EXPECT_EQ(regex.replace("x"), "");
}

TEST(RegexObjectEdges, NoMatchIsSuccessWithNothingInIt) {
    RegexObject regex;
    EXPECT_TRUE(regex.execute("(x)", "aaa"));
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.replace("y"), "aaa");
}

TEST(RegexObjectEdges, IndicesOutOfRange) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(a)(b)?", "a ab"));
    int position = 7;
    for (auto [match, group] : {std::pair{0, 1}, {3, 1}, {1, 0}, {1, 3}, {-1, 1}, {1, -5}}) {
        position = 7;
        EXPECT_EQ(regex.submatch(match, group, &position), "") << match << "," << group;
        EXPECT_EQ(position, -1);
    }
    EXPECT_EQ(regex.match(0, &position), "");
    EXPECT_EQ(regex.match(3), "");
    EXPECT_EQ(regex.submatch(1, 2, &position), "");  // took no part
    EXPECT_EQ(position, -1);
    EXPECT_EQ(regex.submatch(2, 2, &position), "b");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(regex.submatch_count(), 2);
}

TEST(RegexObjectPattern, UnescapeQuotesTurnsTheMarkerIntoADoubleQuote) {
    const std::string marked = "<a href=" + gbk(u"#引号") + "(.*?)" + gbk(u"#引号") + ">";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(marked, "<a href=\"/x\">", {.unescape_quotes = true}));
    EXPECT_EQ(regex.pattern(), kLinkPattern);
    EXPECT_EQ(regex.submatch(1, 1), "/x");
    ASSERT_TRUE(regex.execute(marked, "<a href=\"/x\">"));
    EXPECT_EQ(regex.pattern(), marked);
    EXPECT_EQ(regex.match_count(), 0);
}

TEST(RegexObjectPattern, ChinesePatternAndSubject) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute(gbk(u"第(.)章"), gbk(u"序 第一章 第二章")));
    EXPECT_EQ(regex.pattern(), gbk(u"第(.)章"));
    EXPECT_EQ(regex.match_count(), 2);
    EXPECT_EQ(regex.submatch(2, 1), gbk(u"二"));
    EXPECT_EQ(regex.replace(gbk(u"[$1]")), gbk(u"序 [一] [二]"));
}

TEST(RegexObjectPositions, ExactByteOffsetsAfterChineseText) {
    RegexObject regex;
    // "中文中文" is 4 units and 8 bytes; the second "x1" lies at unit 6 and byte 10.
    // A byte search from unit 6 would stop at the first "x1", byte 8.
    const std::string subject = gbk(u"中文中文x1x1");
    ASSERT_TRUE(regex.execute("x(1)", subject));
    int position = 0;
    EXPECT_EQ(regex.match(1, &position), "x1");
    EXPECT_EQ(position, 8);
    EXPECT_EQ(regex.match(2, &position), "x1");
    EXPECT_EQ(position, 10);
    EXPECT_EQ(regex.submatch(2, 1, &position), "1");
    EXPECT_EQ(position, 11);

    ASSERT_TRUE(regex.execute(gbk(u"(文)"), subject));
    EXPECT_EQ(regex.submatch(2, 1, &position), gbk(u"文"));
    EXPECT_EQ(position, 6);
}

TEST(RegexObjectPositions, AnEmptyTextHasNoPosition) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("x*", "ab"));
    int position = 0;
    EXPECT_EQ(regex.match(2, &position), "");
    EXPECT_EQ(position, -1);
}

TEST(RegexObjectPositions, BytesThatAreNoCharacterKeepTheirPlace) {
    // Each stray byte is one unit of its own, so later offsets stay exact and
    // the text comes back byte for byte.
    RegexObject regex;
    const std::string subject =
        "\xff\xd6 a\x80"
        "b"s +
        gbk(u"中") + "c";
    ASSERT_TRUE(regex.execute("a.b(..)", subject));
    int position = 0;
    EXPECT_EQ(regex.match(1, &position),
              "a\x80"
              "b"s +
                  gbk(u"中") + "c");
    EXPECT_EQ(position, 3);
    EXPECT_EQ(regex.submatch(1, 1, &position), gbk(u"中") + "c");
    EXPECT_EQ(position, 6);
}

TEST(RegexObjectPositions, ReplaceKeepsBytesThatAreNoCharacter) {
    RegexObject regex;
    const std::string subject =
        "x\xff"
        "ab\x80"
        "c"s +
        gbk(u"中") + "\xfe";
    ASSERT_TRUE(regex.execute("(b)|(z)", subject));
    EXPECT_EQ(regex.replace("[$`|$&|$'|$1$2]\xff"s),
              "x\xff"
              "a[x\xff"
              "a|b|\x80"
              "c"s +
                  gbk(u"中") +
                  "\xfe|b]\xff\x80"
                  "c"s +
                  gbk(u"中") + "\xfe");
    ASSERT_TRUE(regex.execute(".",
                              "\xff"
                              "a"s));
    EXPECT_EQ(regex.replace("<$&>"), "<\xff><a>"sv);
}

TEST(RegexObjectOptions, MultilineAndGlobal) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("^\\w", "a\r\nb", {.multiline = false}));
    EXPECT_EQ(regex.match_count(), 1);
    ASSERT_TRUE(regex.execute("^\\w", "a\r\nb"));
    EXPECT_EQ(regex.match_count(), 2);
    ASSERT_TRUE(regex.execute("a", "aaa", {.global = false}));
    EXPECT_EQ(regex.match_count(), 1);
    EXPECT_EQ(regex.replace("b"), "baa");
    ASSERT_TRUE(regex.execute("a", "aAa"));
    EXPECT_EQ(regex.replace(), "");
}

TEST(RegexObjectCopies, ShareTheLastExecuteAndKeepItWhenTheSourceMovesOn) {
    RegexObject original;
    ASSERT_TRUE(original.execute("(b)", "abc"));
    RegexObject copy(original);
    ASSERT_TRUE(original.execute("z", "xyz"));
    EXPECT_EQ(copy.submatch(1, 1), "b");
    EXPECT_EQ(copy.replace("[$1]"), "a[b]c");
    EXPECT_EQ(copy.pattern(), "(b)");
    copy = original;
    EXPECT_EQ(copy.match(1), "z");
    RegexObject moved(std::move(copy));
    EXPECT_EQ(moved.match(1), "z");
    RegexObject assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.replace("!"), "xy!");
}

TEST(RegexObjectRandom, RandomBytesAndPatternsKeepPositionsTrue) {
    const std::string pattern_bytes = "ab.*?()|[]^$\\d\xd6\xd0";
    std::mt19937 random(7);
    auto pick_byte = [&](std::string_view from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    for (int iteration = 0; iteration < 2000; ++iteration) {
        std::string pattern(std::uniform_int_distribution<int>(0, 8)(random), ' ');
        for (char& byte : pattern) byte = pick_byte(pattern_bytes);
        std::string subject(std::uniform_int_distribution<int>(0, 30)(random), ' ');
        for (char& byte : subject) byte = static_cast<char>(random());
        RegexObject regex;
        if (!regex.execute(pattern, subject)) continue;
        for (int match = 1; match <= regex.match_count(); ++match) {
            for (int group = 0; group <= regex.submatch_count(); ++group) {
                int position = 0;
                const std::string text = group == 0 ? regex.match(match, &position)
                                                    : regex.submatch(match, group, &position);
                if (text.empty()) {
                    ASSERT_EQ(position, -1);
                } else {
                    ASSERT_EQ(subject.substr(static_cast<std::size_t>(position), text.size()),
                              text);
                }
            }
        }
    }
}
