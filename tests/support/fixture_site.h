#pragma once
// A small book in the site's page layout, generated as GBK bytes at test time:
// regular chapter pages, a chapter continued on a second page, pages that
// break the layout's rules, and long chains of pages for the benchmarks.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novel::fixture {

// Path (beginning with "/") to the page's bytes.
using SitePages = std::map<std::string, std::string, std::less<>>;

// UTF-8 literal to GBK bytes; characters GBK cannot hold become "?".
[[nodiscard]] std::string gbk(std::string_view utf8);

// The sentences the generated chapters are written in, as GBK; none holds
// markup, a slash, "br", "center" or "--", so each comes out of the
// pipeline as it is.
[[nodiscard]] const std::vector<std::string>& sentences();

// One chapter page. Texts are GBK.
struct ChapterPage {
    std::optional<std::string> title;    // nullopt: no title block at all
    std::optional<std::string> content;  // inside <div id="content">; nullopt: no such block
    std::string next_path;               // the 24th link
    std::string previous_path = "/";
    std::string index_path = "/";
    // Links ahead of the title block; the 24th link of the page is the next
    // page's only while this stays 19 (fewer: another link becomes the 24th).
    int navigation_links = 19;
    bool footer_links = true;  // the six links behind the content block
    bool upper_case_links = false;
    std::string body_prefix;  // raw bytes right behind <body>, ahead of every link
    // The breadcrumb's caption and the description meta in the head; with no
    // name the breadcrumb says "目录" and the head has no description.
    std::string book_name;
    std::string author;
};

// The page's bytes, with CR LF line ends as the site writes them.
[[nodiscard]] std::string chapter_page(const ChapterPage& page);

// One paragraph of a chapter body: the markup the site writes and the text
// the pipeline must make of it. Markup whose slashes the pipeline drops only
// from byte 40 on belongs behind a first paragraph of at least 40 bytes.
struct Paragraph {
    std::string html;
    std::string clean;
};

// Indented with four &nbsp;, as the site indents every paragraph.
[[nodiscard]] Paragraph plain_paragraph(std::string_view text);
// Paragraphs joined by <br/><br/>, as the site joins them.
[[nodiscard]] std::string site_content(const std::vector<Paragraph>& paragraphs);
// The expected text of a page with that title and site_content body.
[[nodiscard]] std::string clean_chapter(std::string_view title,
                                        const std::vector<Paragraph>& paragraphs);

// A book of chapters <book>/<n>.html, each page's 24th link leading to the
// next one; a chapter listed in two_page_chapters ends its first page with
// the continuation notice and leads to its second page <book>/<n>_2.html.
struct BookSpec {
    std::string book = "123";
    int first_chapter = 1;
    int chapter_count = 3;
    std::vector<int> two_page_chapters;
    // Pad each page's body with paragraphs until the page holds about this
    // many bytes; 0 keeps the few natural paragraphs.
    std::size_t page_bytes = 0;
    std::string name = gbk("夜行记");  // GBK, as the pages state it
    std::string author = gbk("山中客");
};

struct FixturePage {
    std::string path;
    std::string bytes;
    std::string clean_text;  // what both entry points must produce
    std::string next_path;   // what next_link must end with
};

// The pages in reading order. The last page's 24th link leads to the
// chapter after the book's end, which is not part of it.
[[nodiscard]] std::vector<FixturePage> generate_book(const BookSpec& plan);

// A page of about page_bytes bytes whose 24th link is next_path.
[[nodiscard]] FixturePage sized_page(std::string_view path, std::string_view next_path,
                                     std::size_t page_bytes);

// The page of the worked example, and its 68-byte result.
[[nodiscard]] std::string worked_example_page(std::string_view next_path);
[[nodiscard]] std::string worked_example_text();

// The whole fixture site: book "123" (chapters 1 to 5, chapter 2 on two pages),
// book "1_1234" (chapters 5678 to 5680, 5678 on two pages), the worked
// example at /edge/example.html and the rule-breaking pages under /edge/
// (no title block, no content block, 23 links, a nested <div>, a NUL byte).
[[nodiscard]] SitePages fixture_site();
// The same pages with their expected results, for tests that check them all.
[[nodiscard]] std::vector<FixturePage> fixture_pages();

[[nodiscard]] SitePages as_site(const std::vector<FixturePage>& pages);

}  // namespace novel::fixture
