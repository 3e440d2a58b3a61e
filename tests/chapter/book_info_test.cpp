// A book's name and author from its chapter pages: the breadcrumb, the
// description meta, and the fallbacks when either is missing or broken.

#include "chapter/book_info.h"

#include <gtest/gtest.h>

#include "tests/support/fixture_site.h"

namespace novel {
namespace {
using fixture::gbk;

struct Case {
    const char* what;
    std::string page;
    std::string name;
    std::string author;
    bool name_from_page;
};

std::string meta(std::string_view author, std::string_view name) {
    return "<meta name=\"description\" content=\"" + gbk("趣笔阁提供了") + std::string(author) +
           gbk("创作的都市小说《") + std::string(name) + gbk("》干净清爽无错字") + "\">";
}

std::string crumb(std::string_view href, std::string_view caption) {
    return "<div class=\"con_top\"><a href=\"/\">" + gbk("趣笔阁") + "</a> &gt; <a href=\"" +
           std::string(href) + "\">" + std::string(caption) + "</a></div>";
}

TEST(BookInfo, NameFromTheBreadcrumbAuthorFromTheMeta) {
    const std::vector<Case> cases = {
        {"both", meta(gbk("山中客"), gbk("别名")) + crumb("/123/", gbk("夜行记")), gbk("夜行记"),
         gbk("山中客"), true},
        {"upper-case tag and attribute", "<A HREF=\"/123/\">" + gbk("夜行记") + "</A>",
         gbk("夜行记"), "", true},
        {"absolute address", crumb("https://www.qubige.com/123/", gbk("夜行记")), gbk("夜行记"), "",
         true},
        {"entities and spaces", crumb("/123/", " Tom &amp; Jerry "), "Tom & Jerry", "", true},
        {"a deeper folder is not the book's", crumb("/123/9/", gbk("别的")), "123", "", false},
        {"another book's folder", crumb("/1234/", gbk("别的")), "123", "", false},
        {"the table of contents link is skipped",
         "<a href=\"/123/\">" + gbk("章节目录") + "</a>" + crumb("/123/", gbk("夜行记")),
         gbk("夜行记"), "", true},
        {"only a generic caption: the meta's name",
         crumb("/123/", gbk("目录")) + meta(gbk("山中客"), gbk("夜行记")), gbk("夜行记"),
         gbk("山中客"), true},
        {"meta only", meta(gbk("山中客"), gbk("夜行记")), gbk("夜行记"), gbk("山中客"), true},
        {"meta with single quotes and upper case",
         "<META NAME='Description' CONTENT='" + gbk("提供了某人创作的《书》") + "'>", gbk("书"),
         gbk("某人"), true},
        {"meta without the book's title marks",
         "<meta name=\"description\" content=\"" + gbk("提供了某人创作的书") + "\">", "123",
         gbk("某人"), false},
        {"a meta of another name",
         "<meta name=\"keywords\" content=\"" + gbk("提供了某人创作的《书》") + "\">", "123", "",
         false},
        {"empty page", "", "123", "", false},
        {"cut-off tag", "<a href=\"/123/", "123", "", false},
        {"cut-off caption", "<a href=\"/123/\">" + gbk("夜行"), "123", "", false},
        // "提供了" must not be found across characters: 疤 ends in 0xCC, which
        // with the next bytes would read as "提" half a character off.
        {"markers only at character boundaries",
         "<meta name=\"description\" content=\"" + gbk("疤") + "\xe1\xb9\xa9\xc1\xcb" +
             gbk("某人创作的《书》") + "\">",
         "123", "", false},
    };
    for (const Case& c : cases) {
        const BookInfo info = extract_book_info(c.page, "123");
        EXPECT_EQ(info.name, c.name) << c.what;
        EXPECT_EQ(info.author, c.author) << c.what;
        EXPECT_EQ(info.name_from_page, c.name_from_page) << c.what;
    }
}

TEST(BookInfo, GeneratedChapterPagesNameTheirBook) {
    const auto pages = fixture::generate_book(
        {.book = "77", .chapter_count = 2, .name = gbk("长夜"), .author = gbk("无名氏")});
    for (const fixture::FixturePage& page : pages) {
        const BookInfo info = extract_book_info(page.bytes, "77");
        EXPECT_EQ(info.name, gbk("长夜")) << page.path;
        EXPECT_EQ(info.author, gbk("无名氏")) << page.path;
    }
}

TEST(BookInfo, NeverFailsOnRandomBytes) {
    std::uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string page = "<a href=\"/9/\">";
        const std::size_t length = round % 64;
        for (std::size_t i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            static constexpr std::string_view kAlphabet = "<>\"'= a/9\xa1\xb6\xb7\xcc";
            page += kAlphabet[(state >> 16) % kAlphabet.size()];
        }
        const BookInfo info = extract_book_info(page, "9");
        EXPECT_FALSE(info.name.empty());
    }
}

}  // namespace
}  // namespace novel
