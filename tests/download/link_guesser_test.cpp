#include "download/link_guesser.h"

#include <gtest/gtest.h>

namespace novel {
namespace {

std::vector<std::string> links_of(const std::vector<LinkGuess>& guesses) {
    std::vector<std::string> links;
    for (const LinkGuess& guess : guesses) links.push_back(guess.link);
    return links;
}

// Walks the guesser along a chain, as a download does.
void walk(LinkGuesser& guesser, const std::vector<std::string>& chain) {
    for (std::size_t step = 0; step + 1 < chain.size(); ++step)
        guesser.learn(chain[step], chain[step + 1]);
}

TEST(LinkGuesser, GuessesTheNextPageAndTheNextChapter) {
    const LinkGuesser guesser;
    EXPECT_EQ(links_of(guesser.guesses("https://h.com/7_7001/880001.html")),
              (std::vector<std::string>{"https://h.com/7_7001/880001_2.html",
                                        "https://h.com/7_7001/880002.html"}));
    EXPECT_EQ(links_of(guesser.guesses("/7/0099_2.html")),
              (std::vector<std::string>{"/7/0099_3.html", "/7/100.html"}));
    for (const char* unguessable :
         {"/7/index.html", "/7/12.htm", "/7/a_2.html", "/7/12_1.html", ""}) {
        EXPECT_TRUE(guesser.guesses(unguessable).empty()) << unguessable;
    }
}

TEST(LinkGuesser, LearnsPlainChaptersAndSplitChapters) {
    LinkGuesser plain;
    walk(plain, {"/b/1.html", "/b/2.html", "/b/3.html", "/b/4.html", "/b/5.html"});
    const std::vector<LinkGuess> after_plain = plain.guesses("/b/5.html");
    EXPECT_EQ(after_plain.front().link, "/b/6.html");
    EXPECT_GT(after_plain.front().likelihood, 0.6);

    // Every chapter on two pages: the first page leads to the second, the
    // second to the next chapter.
    LinkGuesser split;
    walk(split, {"/b/1.html", "/b/1_2.html", "/b/2.html", "/b/2_2.html", "/b/3.html", "/b/3_2.html",
                 "/b/4.html"});
    EXPECT_EQ(split.guesses("/b/4.html").front().link, "/b/4_2.html");
    EXPECT_EQ(split.guesses("/b/4_2.html").front().link, "/b/5.html");
    EXPECT_GT(split.guesses("/b/4_2.html").front().likelihood, 0.6);
}

TEST(LinkGuesser, BooksWhoseNumbersDoNotFollowAreNotGuessedForLong) {
    LinkGuesser gaps;
    walk(gaps,
         {"/b/10.html", "/b/13.html", "/b/17.html", "/b/30.html", "/b/31.html", "/b/45.html"});
    for (const LinkGuess& guess : gaps.guesses("/b/45.html"))
        EXPECT_LT(guess.likelihood, 0.3) << guess.link;

    // A book that changes its ways is followed again within a few dozen pages.
    std::vector<std::string> later;
    for (int chapter = 46; chapter < 110; ++chapter)
        later.push_back("/b/" + std::to_string(chapter) + ".html");
    walk(gaps, later);
    EXPECT_GT(gaps.guesses("/b/109.html").front().likelihood, 0.6);
}

}  // namespace
}  // namespace novel
