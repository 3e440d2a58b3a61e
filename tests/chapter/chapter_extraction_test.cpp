#include "chapter/chapter_extraction.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "chapter/site.h"
#include "regex/regex_object.h"
#include "tests/support/fixture_site.h"

namespace novel {
namespace {
using namespace std::string_literals;
using namespace std::string_view_literals;
using fixture::gbk;

// The worked example's result, 68 bytes of GBK.
constexpr std::string_view kWorkedExampleText =
    "\r\n\xB5\xDA"
    "1\xD5\xC2 \xD3\xEA\xD2\xB9\r\n"
    "    "
    "\xCB\xFB\xCD\xC6\xBF\xAA\xC3\xC5\xA3\xAC\xBF\xB4\xBC\xFB\xD2\xBB\xD6\xBBown\xC3\xA8\xA1\xA3\r"
    "\n"
    "    \xB9\xE3\xB8\xE6\xD3\xEA\xBB\xB9\xD4\xDA\xCF\xC2\xA3\xAC"
    "12\xA1\xA3 "sv;

std::string site(std::string_view path) { return std::string(SITE_ORIGIN) + std::string(path); }

// count links "/l/1" ... with the 24th (when there is one) replaced by next.
std::string links(int count, std::string_view next = "/next.html") {
    std::string out;
    for (int i = 1; i <= count; ++i) {
        const std::string target = i == 24 ? std::string(next) : "/l/" + std::to_string(i);
        out += "<a href=\"" + target + "\">x</a>\r\n";
    }
    return out;
}

TEST(ExtractChapter, WorkedExampleGivesItsSixtyEightBytes) {
    const Chapter result = extract_chapter(fixture::worked_example_page("/1_1234/5678_2.html"));
    EXPECT_EQ(result.text, kWorkedExampleText);
    EXPECT_EQ(result.text.size(), 68u);
    EXPECT_EQ(fixture::worked_example_text(), kWorkedExampleText);
    EXPECT_EQ(result.title,
              "\xB5\xDA"
              "1\xD5\xC2 \xD3\xEA\xD2\xB9"sv);
    EXPECT_EQ(result.next_link, site("/1_1234/5678_2.html"));
}

TEST(ExtractChapter, WorkedExampleAsAPageOfItsTwoBlocksAlone) {
    const Chapter result = extract_chapter(
        gbk("<div class=\"bookname\"><h1>第1章 雨夜</h1></div>"
            "<div id=\"content\">&nbsp;&nbsp;&nbsp;&nbsp;他推开门，看见一只Brown猫。<br/><br/>"
            "&nbsp;&nbsp;&nbsp;&nbsp;<center>--广告--</center>雨还在下，1/2。<br />"
            "本章未完，点击下一页继续阅读</div><div>x</div>"));
    EXPECT_EQ(result.text, kWorkedExampleText);
    EXPECT_EQ(result.next_link, SITE_ORIGIN);
}

// Random pages built from the layout's markers, stray bytes and GBK
// characters; run under the sanitizers too. Whatever the page, no angle
// bracket survives, no slash stands at byte 40 or later, a non-empty text
// begins with its title line's CR LF, and the next link starts at the origin.
TEST(ExtractChapter, RandomPagesKeepTheResultsShape) {
    const std::vector<std::string> pieces = {"<div class=\"bookname\"><h1>",
                                             "</h1>",
                                             "<div id=\"content\">",
                                             "div>",
                                             "</div>",
                                             "<div>",
                                             "&nbsp;",
                                             "&NBSP;",
                                             "<br/><br/>",
                                             "<BR/>",
                                             "<br />",
                                             "<center>",
                                             "</center>",
                                             "--",
                                             "/",
                                             "<a href=\"/",
                                             "\">",
                                             "<A HREF=\"/x",
                                             "\r\n",
                                             std::string(1, '\0'),
                                             gbk("本章未完，点击下一页继续阅读"),
                                             "\xB0\x62",
                                             "r",
                                             "\x81",
                                             "\xFF",
                                             "abc",
                                             "Brown"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 120);
    for (int round = 0; round < 400; ++round) {
        std::string page;
        for (int n = length(random); n > 0; --n) page += pieces[piece(random)];
        SCOPED_TRACE(testing::PrintToString(page));
        const Chapter result = extract_chapter(page);
        const std::string& text = result.text;
        EXPECT_TRUE(text.empty() || text.starts_with("\r\n"));
        EXPECT_EQ(text.find_first_of("<>"), std::string::npos);
        if (text.size() >= 40) {
            EXPECT_EQ(text.find('/', 39), std::string::npos);
        }
        EXPECT_TRUE(result.next_link.starts_with(SITE_ORIGIN));
        ASSERT_FALSE(HasFailure());
    }
}

struct EdgeCase {
    EdgeCase(const char* case_name, std::string_view page_bytes, std::string_view clean_text)
        : name(case_name), page(page_bytes), text(clean_text) {}
    const char* name;
    std::string page;
    std::string text;  // owned: some expectations are built on the spot
};

void PrintTo(const EdgeCase& edge_case, std::ostream* out) { *out << edge_case.name; }

class ExtractChapterEdges : public testing::TestWithParam<EdgeCase> {};

TEST_P(ExtractChapterEdges, GivesTheExactText) {
    EXPECT_EQ(extract_chapter(GetParam().page).text, GetParam().text);
}

std::string page_with(std::string_view title, std::string_view content) {
    return links(24) + "<div class=\"bookname\"><h1>" + std::string(title) + "</h1></div>\r\n" +
           "<div id=\"content\">" + std::string(content) + "</div>\r\n";
}

// 40 bytes of filler, so that what follows stands beyond byte 40.
const std::string kFiller(40, 'x');

INSTANTIATE_TEST_SUITE_P(
    Pages, ExtractChapterEdges,
    testing::Values(
        EdgeCase{"ShortResultKeepsItsSlash", R"(<div id="content">abc</div>)", "\r\n\r\nabc/"sv},
        EdgeCase{"TitleSlashesSurviveOnlyAheadOfByteForty",
                 page_with("1/2" + kFiller + "/3", "a/b"), "\r\n1/2" + kFiller + "3\r\nab"},
        // The title starts at byte 3: its 37th and 38th bytes are bytes 39 and 40.
        EdgeCase{"SlashAtByteThirtyNineStaysAndAtFortyGoes",
                 page_with(std::string(36, 't') + "//", "a"),
                 "\r\n" + std::string(36, 't') + "/\r\na"},
        EdgeCase{"UpperCaseBreaksAndBlanks", page_with("T", kFiller + "&NBSP;a<BR/><BR/>b&Nbsp;"),
                 "\r\nT\r\n" + kFiller + " a\r\nb "},
        EdgeCase{"ThreeBreaksLeaveALineEndAndASlashAheadOfByteForty",
                 page_with("T", "a<br/><br/><br/>b"), "\r\nT\r\na\r\n/b/"sv},
        EdgeCase{"ThreeBreaksLoseTheSlashFromByteFortyOn",
                 page_with("T", kFiller + "<br/><br/><br/>b"), "\r\nT\r\n" + kFiller + "\r\nb"},
        EdgeCase{"NestedDivCutsTheRestOfTheChapter",
                 page_with("T", "a<br/><br/><div>lost</div>lost too"), "\r\nT\r\na\r\n"sv},
        EdgeCase{"ClosingTagOfANestedBlockCuts",
                 page_with("T", "<p>a</p>\r\n<div class=\"x\">b</div>lost"),
                 "\r\nT\r\npa/p\r\ndiv class=\"x\"b/"sv},
        EdgeCase{"DivWithAttributesDoesNotCut", page_with("T", kFiller + "<div class=\"x\">b"),
                 "\r\nT\r\n" + kFiller + "div class=\"x\"b"},
        EdgeCase{"CaseBlindWordDebrisGoesEvenInsideWords",
                 page_with("T", "Brown CENTERed<center>--ad---</center>"),
                 "\r\nT\r\nown edad-//"sv},
        EdgeCase{"ContinuationNoticeGoes", page_with("T", gbk("上本章未完，点击下一页继续阅读下")),
                 gbk("\r\nT\r\n上下/")},
        EdgeCase{"NoTitleBlockStartsWithTwoLineEnds", links(24) + "<div id=\"content\">abc</div>",
                 "\r\n\r\nabc/"sv},
        EdgeCase{"NoContentBlockLosesTheTitleToo",
                 links(24) + "<div class=\"bookname\"><h1>T</h1></div><p>abc</p>", ""sv},
        EdgeCase{"ContentWithoutClosingTagIsEmpty",
                 "<div class=\"bookname\"><h1>T</h1><div id=\"content\">abc", ""sv},
        EdgeCase{"LastContentMarkerCounts",
                 R"(<div id="content">old</div><div id="content">new</div>)", "\r\n\r\nnew/"sv},
        EdgeCase{"EmptyPageGivesEmptyText", "", ""sv},
        EdgeCase{"NulByteStaysAndCutsNothing",
                 std::string("\0<div class=\"bookname\"><h1>T\0T</h1>"
                             "<div id=\"content\">a\0b</div>"sv),
                 "\r\nT\0T\r\na\0b/"sv},
        // 0xB0 0x62 and 0xB0 0x63 are single characters ending in 'b' and 'c',
        // 0xD0 0x64 one ending in 'd': no marker may start on their second byte.
        EdgeCase{"MarkersNeverStartInsideADoubleByteCharacter",
                 page_with("T",
                           "\xB0\x62r\xB0\x63"
                           "enter\xD0\x64iv>x"),
                 "\r\nT\r\n\xB0\x62r\xB0\x63"
                 "enter\xD0\x64ivx/"sv}),
    [](const testing::TestParamInfo<EdgeCase>& case_info) { return case_info.param.name; });

struct LinkCase {
    const char* name;
    std::string page;
    std::string next_link;
};

void PrintTo(const LinkCase& link_case, std::ostream* out) { *out << link_case.name; }

class ExtractChapterLinks : public testing::TestWithParam<LinkCase> {};

TEST_P(ExtractChapterLinks, TakesTheFirstGroupOfTheTwentyFourthLink) {
    EXPECT_EQ(extract_chapter(GetParam().page).next_link, GetParam().next_link);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ExtractChapterLinks,
    testing::Values(
        LinkCase{"TwentyFourth", links(30, "/1_1234/5678_2.html"),
                 "https://www.qubige.com/1_1234/5678_2.html"},
        LinkCase{"TwentyThreeLinksGiveTheOriginAlone", links(23), "https://www.qubige.com"},
        LinkCase{"NoPageGivesTheOriginAlone", "", "https://www.qubige.com"},
        LinkCase{"EmptyGroupGivesTheOriginAlone", links(30, ""), "https://www.qubige.com"},
        LinkCase{"LinkAcrossALineEndIsNotCounted",
                 "<a href=\"/split\r\n.html\">x</a>" + links(30, "/24.html"),
                 "https://www.qubige.com/24.html"},
        LinkCase{"UpperCaseLinkIsCounted", "<A HREF=\"/upper.html\">x</A>" + links(30, "/24.html"),
                 "https://www.qubige.com/l/23"},
        LinkCase{"FurtherAttributeIsCaptured",
                 links(23) + "<a href=\"/n.html\" target=\"_blank\">next</a>",
                 "https://www.qubige.com/n.html\" target=\"_blank"},
        LinkCase{"GbkAddressComesBackAsItsBytes", links(30, gbk("/书/第1章.html")),
                 "https://www.qubige.com" + gbk("/书/第1章.html")},
        LinkCase{"StrayBytesAheadDoNotSwallowALink",
                 "\x81\xFF\x80\x81" + links(30, "/after_stray.html"),
                 "https://www.qubige.com/after_stray.html"},
        LinkCase{"LinkBehindANulByteIsCounted",
                 std::string("\0", 1) + links(30, "/behind_nul.html"),
                 "https://www.qubige.com/behind_nul.html"},
        // Appended to the origin, these would name another host: no next link.
        LinkCase{"UserInfoLeadingElsewhereGivesTheOriginAlone", links(30, "@127.0.0.1:8080/x"),
                 "https://www.qubige.com"},
        LinkCase{"LongerHostNameGivesTheOriginAlone", links(30, ".other.example/x"),
                 "https://www.qubige.com"},
        LinkCase{"UnreadableAddressGivesTheOriginAlone", links(30, ":99999/x"),
                 "https://www.qubige.com"},
        // The site's host on another port is another server.
        LinkCase{"AnotherPortGivesTheOriginAlone", links(30, ":8443/7_7001/2.html"),
                 "https://www.qubige.com"},
        LinkCase{"TheSitesOwnPortWrittenOutStays", links(30, ":443/7_7001/2.html"),
                 "https://www.qubige.com:443/7_7001/2.html"}),
    [](const testing::TestParamInfo<LinkCase>& case_info) { return case_info.param.name; });

TEST(FixtureSite, EveryPageGivesItsExpectedTextAndNextLink) {
    for (const fixture::FixturePage& page : fixture::fixture_pages()) {
        SCOPED_TRACE(page.path);
        const Chapter result = extract_chapter(page.bytes);
        EXPECT_EQ(result.text, page.clean_text);
        EXPECT_EQ(result.next_link, site(page.next_path));
    }
}

TEST(FixtureSite, SizedPagesReachTheirSizeAndLinkOn) {
    const fixture::FixturePage page = fixture::sized_page("/big/1.html", "/big/2.html", 30000);
    EXPECT_GE(page.bytes.size(), 30000u);
    EXPECT_LT(page.bytes.size(), 31000u);
    const Chapter result = extract_chapter(page.bytes);
    EXPECT_EQ(result.text, page.clean_text);
    EXPECT_EQ(result.next_link, site("/big/2.html"));
}

TEST(FixtureSite, LongChainsLinkEachPageToTheNext) {
    const std::vector<fixture::FixturePage> chain =
        fixture::generate_book({.book = "chain", .chapter_count = 20, .page_bytes = 6000});
    ASSERT_EQ(chain.size(), 20u);
    for (std::size_t i = 0; i < chain.size(); ++i) {
        SCOPED_TRACE(chain[i].path);
        EXPECT_GE(chain[i].bytes.size(), 6000u);
        EXPECT_LT(chain[i].bytes.size(), 6300u);
        const Chapter result = extract_chapter(chain[i].bytes);
        EXPECT_EQ(result.text, chain[i].clean_text);
        const std::string next = i + 1 < chain.size() ? chain[i + 1].path : "/chain/21.html";
        EXPECT_EQ(result.next_link, site(next));
    }
}

// The 24th link is searched a few lines at a time; whatever the page, that
// gives what one search of the whole page gives.
TEST(ExtractChapter, NextLinkAgreesWithASearchOfTheWholePage) {
    const std::vector<std::string> pieces = {
        "<a href=\"/a", "\">",  "<A HREF=\"/B",       "\r\n", "\n", "x", gbk("章"),
        "\x81",         "\xB0", std::string(300, 'y')};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 400);
    for (int round = 0; round < 300; ++round) {
        std::string page;
        for (int n = length(random); n > 0; --n) page += pieces[piece(random)];
        RegexObject whole_page;
        whole_page.execute(R"re(<a href="(.*?)">)re", page);
        SCOPED_TRACE(testing::PrintToString(page));
        ASSERT_EQ(extract_chapter(page).next_link,
                  std::string(SITE_ORIGIN) + whole_page.submatch(24, 1));
    }
}

}  // namespace
}  // namespace novel
