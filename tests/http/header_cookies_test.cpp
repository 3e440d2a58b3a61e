#include "http/header_cookies.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/text_operations.h"

using namespace std::string_view_literals;
using namespace novel;

namespace {

struct HeaderCase {
    std::string_view line;
    std::string_view name;
    std::string_view value;
};

TEST(HeaderLine, SplitsAtTheFirstColonAndTrims) {
    const HeaderCase cases[] = {
        {"X-Time: 12:30"sv, "X-Time"sv, "12:30"sv},
        {"Accept: */*"sv, "Accept"sv, "*/*"sv},
        {"Referer: https://a.com/1/2.html"sv, "Referer"sv, "https://a.com/1/2.html"sv},
        {"no colon at all"sv, ""sv, ""sv},
        {""sv, ""sv, ""sv},
        {":"sv, ""sv, ""sv},
        {" \tName \t:\t value with  inner \t"sv, "Name"sv, "value with  inner"sv},
        {"Empty:"sv, "Empty"sv, ""sv},
        {": only value"sv, ""sv, "only value"sv},
        {"N:\0v"sv, "N"sv, "\0v"sv},
        {"\xd6\xd0:\xce\xc4"sv, "\xd6\xd0"sv, "\xce\xc4"sv},
    };
    for (const HeaderCase& c : cases) {
        EXPECT_EQ(header_name(c.line), c.name) << c.line;
        EXPECT_EQ(header_value(c.line), c.value) << c.line;
    }
}

TEST(CookieName, TakesTheTrimmedPartBeforeTheFirstEquals) {
    EXPECT_EQ(cookie_name("a=1"), "a"sv);
    EXPECT_EQ(cookie_name("a=1=2"), "a"sv);
    EXPECT_EQ(cookie_name("  flag  "), "flag"sv);
    EXPECT_EQ(cookie_name("  sid \t= x"), "sid"sv);
    EXPECT_EQ(cookie_name("=v"), ""sv);
    EXPECT_EQ(cookie_name(""), ""sv);
}

TEST(CookieList, NameAndItemLookups) {
    const TextList list = {"a=1", " b =2", "c", "a=3", ""};
    EXPECT_TRUE(cookie_name_in_list(list, "a"));
    EXPECT_TRUE(cookie_name_in_list(list, "b"));
    EXPECT_TRUE(cookie_name_in_list(list, "c"));
    EXPECT_TRUE(cookie_name_in_list(list, ""));
    EXPECT_FALSE(cookie_name_in_list(list, "A"));
    EXPECT_FALSE(cookie_name_in_list({}, ""));

    EXPECT_EQ(index_in_list(list, "a=1"), 1);
    EXPECT_EQ(index_in_list(list, "a=3"), 4);
    EXPECT_EQ(index_in_list(list, ""), 5);
    EXPECT_EQ(index_in_list(list, "b =2"), -1);  // exact, no trimming
    EXPECT_EQ(index_in_list({}, ""), -1);
}

TEST(RemoveDuplicateParts, KeepsFirstOccurrences) {
    EXPECT_EQ(remove_duplicate_parts("p; q; p", "; "), "p; q"sv);
    EXPECT_EQ(remove_duplicate_parts("p; p; p", "; "), "p"sv);
    EXPECT_EQ(remove_duplicate_parts("", "; "), ""sv);
    EXPECT_EQ(remove_duplicate_parts("a;;b;;a", ";"), "a;;b"sv);
    EXPECT_EQ(remove_duplicate_parts("x=1; X=1", "; "), "x=1; X=1"sv);
}

struct MergeCase {
    std::string_view cookies;
    std::string_view new_cookies;
    std::string_view merged;
    std::string_view new_after;
};

TEST(MergeCookies, TableOfCases) {
    const MergeCase cases[] = {
        {"a=1; b=2"sv, "b=3; c=4"sv, "b=3; c=4; a=1"sv, "b=3;c=4"sv},
        {"a=1; sid=x"sv, "sid=deleted"sv, "a=1"sv, "sid=deleted"sv},
        {"a=1"sv, "a=1"sv, "a=1"sv, "a=1"sv},
        {"z=9"sv, "x=1; x=1; y=2"sv, "x=1; y=2; z=9"sv, "x=1;x=1;y=2"sv},
        {"z=9"sv, "x=1; x=2"sv, "x=1; x=2; z=9"sv, "x=1;x=2"sv},
        {"a=hello world"sv, ""sv, "a=helloworld"sv, ""sv},
        {"a=1"sv, "a=DELETED"sv, "a=DELETED"sv, "a=DELETED"sv},
        {""sv, ""sv, ""sv, ""sv},
        // An empty text has no cookies: merging it adds no empty entry.
        {"a=1; b=2"sv, ""sv, "a=1; b=2"sv, ""sv},
        {""sv, "a=1"sv, "a=1"sv, "a=1"sv},
        {" \t"sv, "a=1"sv, "a=1"sv, "a=1"sv},  // only spaces: empty once they are removed
        {"a=1"sv, " "sv, "a=1"sv, ""sv},
        // Among old pieces the first of a name wins.
        {"k=1; k=2; m=3"sv, ""sv, "k=1; m=3"sv, ""sv},
        // Collected pieces ending in "=deleted" go even without an old cookie.
        {""sv, "a=1; b=deleted; a=1"sv, "a=1"sv, "a=1;b=deleted;a=1"sv},
        // A trailing separator leaves an empty piece, which shows as an empty entry.
        {"a=1;"sv, "b=2"sv, "b=2; a=1; "sv, "b=2"sv},
        // Tabs count as spaces.
        {"\ta=1"sv, "b=\t2"sv, "b=2; a=1"sv, "b=2"sv},
    };
    for (const MergeCase& c : cases) {
        std::string cookies(c.cookies);
        std::string new_cookies(c.new_cookies);
        const std::string merged = merge_cookies(cookies, new_cookies);
        EXPECT_EQ(merged, c.merged) << c.cookies << " + " << c.new_cookies;
        EXPECT_EQ(cookies, c.merged) << c.cookies << " + " << c.new_cookies;
        EXPECT_EQ(new_cookies, c.new_after) << c.cookies << " + " << c.new_cookies;
    }
}

std::string random_text(std::mt19937& random, std::string_view alphabet) {
    std::uniform_int_distribution<std::size_t> length(0, 24);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(length(random), '\0');
    for (char& c : text) c = alphabet[pick(random)];
    return text;
}

// Properties that hold for any input; the loop also gives the sanitizers
// something to chew on.
TEST(HeaderCookieRoutines, RandomInputsKeepTheirProperties) {
    std::mt19937 random(20240611);
    constexpr std::string_view kAlphabet = "ab=;: \t\0\xd6\xd0\xb2\x62"sv;
    for (int round = 0; round < 3000; ++round) {
        const std::string line = random_text(random, kAlphabet);
        const std::string name = header_name(line);
        const std::string value = header_value(line);
        EXPECT_EQ(name, trim_text(name));
        EXPECT_EQ(value, trim_text(value));
        EXPECT_LE(name.size() + value.size(), line.size());

        std::string cookies = random_text(random, kAlphabet);
        std::string new_cookies = random_text(random, kAlphabet);
        const std::string merged = merge_cookies(cookies, new_cookies);
        EXPECT_EQ(merged, cookies);
        EXPECT_EQ(new_cookies, remove_spaces(new_cookies));
        std::string without_joins = merged;
        for (std::size_t at = 0; (at = without_joins.find("; ", at)) != std::string::npos;) {
            without_joins.erase(at + 1, 1);  // only the joins may hold a space
        }
        EXPECT_EQ(without_joins.find_first_of(" \t"), std::string::npos) << merged;
        EXPECT_EQ(remove_duplicate_parts(merged, "; "), merged);

        const std::string deduplicated = remove_duplicate_parts(line, ";");
        EXPECT_LE(deduplicated.size(), line.size());
        EXPECT_EQ(remove_duplicate_parts(deduplicated, ";"), deduplicated);
    }
}

TEST(HeaderIn, FindsTheFirstLineOfANameInAnyCase) {
    const std::string_view headers =
        "Content-Type: text/html\r\nretry-after:  5 \r\nRetry-After: 9\r\n";
    EXPECT_EQ(header_in(headers, "Retry-After"), "5");
    EXPECT_EQ(header_in(headers, "Location"), std::nullopt);
}

}  // namespace
