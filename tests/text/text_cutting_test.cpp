#include "text/text_cutting.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace std::string_view_literals;
using namespace novel;

TEST(TextBetween, TakesTheFirstLeftAndTheFirstRightBehindIt) {
    EXPECT_EQ(text_between("<a>1</a><a>2</a>", "<a>", "</a>"), "1");
    EXPECT_EQ(text_between("x</a>y<a>1</a>", "<a>", "</a>"), "1");
    EXPECT_EQ(text_between("<h1>T</h1>", "<h1>", "</h1>", 2), "");
    EXPECT_EQ(text_between("<h1>A</h1><h1>B</h1>", "<h1>", "</h1>", 2), "B");
    EXPECT_EQ(text_between("<H1>A</H1>", "<h1>", "</h1>"), "");
    EXPECT_EQ(text_between("<H1>A</H1>", "<h1>", "</h1>", 0, true), "A");
}

TEST(TextBetween, EmptyWhenAMarkerIsMissingOrTheyTouch) {
    EXPECT_EQ(text_between("abc", "<", ">"), "");
    EXPECT_EQ(text_between("a<bc", "<", ">"), "");
    EXPECT_EQ(text_between("a>b<c", "<", ">"), "");
    EXPECT_EQ(text_between("a<>b", "<", ">"), "");
    EXPECT_EQ(text_between("ab<", "<", ">"), "");
    EXPECT_EQ(text_between("", "<", ">"), "");
}

TEST(TextBetween, QuotePlaceholderStandsForADoubleQuoteInEitherMarker) {
    // "#引号" as the GBK bytes a caller's text holds
    const std::string left = "href=#\xd2\xfd\xba\xc5";
    const std::string right = "#\xd2\xfd\xba\xc5>";
    EXPECT_EQ(text_between("<a href=\"/1/2.html\">", left, right), "/1/2.html");
    EXPECT_EQ(left, "href=#\xd2\xfd\xba\xc5");  // the caller's marker is untouched
    EXPECT_EQ(text_between("<a href=\"/x\">", "href=#引号", "#引号>"), "");  // UTF-8 is not GBK
    EXPECT_EQ(text_between("<a href=\"/x\">", "href=\"", "\">"), "/x");
}

TEST(TextBetween, CutsCookiesOutOfHeaderLines) {
    EXPECT_EQ(text_between("Set-Cookie: a=1; path=/", "Set-Cookie:", ";"), " a=1");
    EXPECT_EQ(text_between("Set-Cookie: a=1", "Set-Cookie:", ";"), "");
}

TEST(TextAfterLast, ReturnsEverythingBehindTheLastMarker) {
    EXPECT_EQ(text_after_last("a.com/b.com/88/99.html", ".com/"), "88/99.html");
    EXPECT_EQ(text_after_last("abc", "x"), "");
    EXPECT_EQ(text_after_last("abc", "c"), "");
    EXPECT_EQ(text_after_last("abc", ""), "");
    EXPECT_EQ(
        text_after_last("<div id=\"content\">a<div id=\"content\">b\0c"sv, "<div id=\"content\">"),
        "b\0c"sv);
    EXPECT_EQ(text_after_last("a1a2a3", "a", 4), "2a3");
    EXPECT_EQ(text_after_last("A1a2", "a", std::nullopt, true), "2");
    EXPECT_EQ(text_after_last("A1A2", "a"), "");
}

TEST(TextBeforeFirst, ReturnsEverythingBeforeTheFirstMarker) {
    EXPECT_EQ(text_before_first("88/99.html", "/"), "88");
    EXPECT_EQ(text_before_first("/88", "/"), "");
    EXPECT_EQ(text_before_first("88", "/"), "");
    EXPECT_EQ(text_before_first("a/b/c", "/", 3), "a/b");
    EXPECT_EQ(text_before_first("a/b/c", "/", -4), "a");
    EXPECT_EQ(text_before_first("x</DIV>", "div>", 0, true), "x</");
}

TEST(ReplacePairs, AppliesPairsInOrderCaseBlindByDefault) {
    EXPECT_EQ(replace_pairs("a<b>c", {{"<", ""}, {">", ""}}), "abc");
    EXPECT_EQ(replace_pairs("Brown BR br", {{"br", ""}}), "own  ");
    EXPECT_EQ(replace_pairs("Brown BR br", {{"br", ""}}, {.case_sensitive = true}), "Brown BR ");
    EXPECT_EQ(replace_pairs("a---b", {{"--", ""}}), "a-b");
    // a later pair sees what an earlier one joined
    EXPECT_EQ(replace_pairs("<b<>r>", {{"<>", ""}, {"br", "X"}}), "<X>");
    EXPECT_EQ(replace_pairs("abc", {{"", "x"}, {"", ""}}), "abc");
    EXPECT_EQ(replace_pairs("abc", {{"a", "1"}, {"", "z"}, {"c", "3"}}), "1b3");
}

TEST(ReplacePairs, CountLimitsEachPairSeparately) {
    EXPECT_EQ(replace_pairs("aabb", {{"a", ""}, {"b", ""}}, {.count = 1}), "ab");
    EXPECT_EQ(replace_pairs("aabb", {{"a", ""}}, {.count = 0}), "aabb");
}

TEST(ReplacePairs, StartFortyLeavesTheFirstThirtyNineBytes) {
    std::string text(38, 'x');
    text += "/";  // byte 39
    text += "/";  // byte 40
    text += "a/";
    const std::string result = replace_pairs(text, {{"/", ""}}, {.start = 40});
    EXPECT_EQ(result, std::string(38, 'x') + "/a");
    EXPECT_EQ(replace_pairs("short/text", {{"/", ""}}, {.start = 40}), "short/text");
}

TEST(ReplacePairs, LeavesChineseCharactersWithLetterTrailBytesWhole) {
    // 瞓 (B2 62) followed by "r": "br" must not be deleted from its middle.
    const std::string text = "\xb2\x62r<br/>\xb2\x62R";
    EXPECT_EQ(replace_pairs(text, {{"<", ""}, {">", ""}, {"br", ""}, {"center", ""}}),
              "\xb2\x62r/\xb2\x62R");
}

TEST(CuttingRandomised, NeverReadsOutOfBoundsAndResultsComeFromTheText) {
    std::mt19937 random(1208);
    static constexpr char kAlphabet[] = {'<', '>', '/',  'a',    'b',    'r',
                                         '#', '"', '\0', '\xb2', '\x62', '\xd6'};
    auto make = [&](std::size_t max) {
        std::string text(random() % (max + 1), ' ');
        for (char& c : text) c = kAlphabet[random() % sizeof kAlphabet];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string text = make(20);
        const std::string left = make(2);
        const std::string right = make(2);
        const int start = static_cast<int>(random() % 25) - 2;
        const bool blind = random() % 2 == 0;
        const std::string between = text_between(text, left, right, start, blind);
        ASSERT_NE(text.find(between), std::string::npos);
        const std::string after = text_after_last(text, left, std::nullopt, blind);
        ASSERT_TRUE(text.ends_with(after));
        const std::string before = text_before_first(text, left, start, blind);
        ASSERT_TRUE(text.starts_with(before));
        (void)replace_pairs(text, {{left, right}, {right, ""}}, {.start = start < 0 ? 0 : start});
    }
}
