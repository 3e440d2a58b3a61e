#include "tests/support/fixture_site.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "platform/gbk.h"

namespace novel::fixture {
namespace {
constexpr std::string_view kIndent = "&nbsp;&nbsp;&nbsp;&nbsp;";
constexpr std::string_view kParagraphBreak = "<br/><br/>";

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (i + length > utf8.size()) throw std::invalid_argument("truncated UTF-8 literal");
        std::uint32_t code = length == 1   ? lead
                             : length == 2 ? lead & 0x1Fu
                             : length == 3 ? lead & 0x0Fu
                                           : lead & 0x07u;
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::string link(const ChapterPage& page, std::string_view path, std::string_view caption) {
    std::string out = page.upper_case_links ? "<A HREF=\"" : "<a href=\"";
    out.append(path).append("\">").append(caption);
    out.append(page.upper_case_links ? "</A>" : "</a>");
    return out;
}

std::string sentence(std::size_t n) {
    return sentences()[n % sentences().size()] + std::to_string(n);
}

std::string chapter_title(int chapter, int page_number) {
    std::string title = gbk("第") + std::to_string(chapter) + gbk("章 夜行");
    if (page_number > 1) title += gbk("（") + std::to_string(page_number) + gbk("）");
    return title;
}

std::string page_path(std::string_view book, int chapter, int page_number) {
    // Appended piece by piece: "literal" + string trips a false -Wrestrict in GCC 12 at -O3.
    std::string path = "/";
    path.append(book).append("/").append(std::to_string(chapter));
    if (page_number > 1) path.append("_").append(std::to_string(page_number));
    return path.append(".html");
}

// The decorations the site sprinkles into chapter bodies, each paired with
// what is left of it. All stand behind a first plain paragraph.
std::vector<Paragraph> decorated_paragraphs(std::size_t seed) {
    const std::string a = sentence(seed);
    const std::string b = sentence(seed + 1);
    const std::string ad = gbk("广告");
    return {
        {std::string(kIndent) + a + "<center>--" + ad + "--</center>" + b, "    " + a + ad + b},
        {std::string(kIndent) + a + "<br />" + b, "    " + a + " " + b},
        {"&NBSP;&NBSP;&NBSP;&NBSP;" + a + "<BR/><BR/>&NBSP;&NBSP;&NBSP;&NBSP;" + b,
         "    " + a + "\r\n    " + b},
        // GBK characters whose second byte is 'b', 'c' or 'd', right before
        // "r", "enter" and "iv>": no marker may match across them.
        {std::string(kIndent) + gbk("癰") + "r" + gbk("癱") + "enter" + gbk("衐") + "iv>",
         "    " + gbk("癰") + "r" + gbk("癱") + "enter" + gbk("衐") + "iv"},
        {std::string(kIndent) + a + "----" + b, "    " + a + b},
    };
}
}  // namespace

std::string gbk(std::string_view utf8) { return utf16_to_gbk(utf8_to_utf16(utf8)); }

const std::vector<std::string>& sentences() {
    static const std::vector<std::string> texts = {
        gbk("夜色渐深，山道上只剩下他一个人的脚步声，远处的灯火一盏接一盏地熄灭了。"),
        gbk("他停下来喘了口气，把背上的包袱往上提了提，又抬头看了一眼天边的月亮。"),
        gbk("客栈的掌柜早已睡下，只有门口那盏旧灯笼还在风里摇来摇去，发出吱呀的声响。"),
        gbk("她说明天一早就要出城，可城门外的路被大雨冲坏了，谁也不知道要等几天。"),
        gbk("老人笑了笑，没有回答，只是把茶杯推到他面前，示意他先喝口热茶暖暖身子。"),
        gbk("第二天清晨，雾气还没有散开，院子里的那棵老树上落满了湿漉漉的麻雀。"),
        gbk("书生翻开那本泛黄的旧书，第一页上只写着三个字，墨迹却像是昨天才干的。"),
        gbk("风从窗缝里钻进来，吹得烛火一阵乱晃，墙上的影子也跟着忽长忽短。"),
    };
    return texts;
}

std::string chapter_page(const ChapterPage& page) {
    std::string out;
    out += "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n";
    out += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\r\n";
    out += "<title>" + page.title.value_or("") + gbk("_趣笔阁") + "</title>\r\n";
    if (!page.book_name.empty()) {
        out += "<meta name=\"description\" content=\"" + gbk("趣笔阁提供了") + page.author +
               gbk("创作的玄幻小说《") + page.book_name +
               gbk("》干净清爽无错字的文字章节在线阅读") + "\" />\r\n";
    }
    out += "</head>\r\n<body>\r\n" + page.body_prefix;

    out += "<div class=\"header\"><div class=\"nav\"><ul>\r\n";
    for (int i = 1; i <= page.navigation_links; ++i) {
        out += "<li>" + link(page, "/sort/" + std::to_string(i) + "/", gbk("分类")) + "</li>\r\n";
    }
    out += "</ul></div></div>\r\n";

    out += "<div class=\"content_read\"><div class=\"box_con\">\r\n";
    out += "<div class=\"con_top\">" + link(page, "/", gbk("趣笔阁")) + " &gt; " +
           link(page, page.index_path, page.book_name.empty() ? gbk("目录") : page.book_name) +
           "</div>\r\n";
    const std::string chapter_links = link(page, page.previous_path, gbk("上一章")) + " &larr; " +
                                      link(page, page.index_path, gbk("章节目录")) + " &rarr; " +
                                      link(page, page.next_path, gbk("下一章"));
    if (page.title) out += "<div class=\"bookname\"><h1>" + *page.title + "</h1>\r\n";
    out += "<div class=\"bottem1\">" + chapter_links + "</div>\r\n";
    if (page.title) out += "</div>\r\n";

    if (page.content) out += "<div id=\"content\">" + *page.content + "</div>\r\n";

    if (page.footer_links) {
        out += "<div class=\"bottem2\">" + chapter_links + "</div>\r\n";
        out += "<div class=\"footer\">" + link(page, "/", gbk("首页")) + " " +
               link(page, "/top/", gbk("排行")) + " " + link(page, "/full/", gbk("完本")) +
               "</div>\r\n";
    }
    out += "</div></div>\r\n</body>\r\n</html>\r\n";
    return out;
}

Paragraph plain_paragraph(std::string_view text) {
    return {std::string(kIndent) + std::string(text), "    " + std::string(text)};
}

std::string site_content(const std::vector<Paragraph>& paragraphs) {
    std::string out;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) out += kParagraphBreak;
        out += paragraphs[i].html;
    }
    return out;
}

std::string clean_chapter(std::string_view title, const std::vector<Paragraph>& paragraphs) {
    std::string out = "\r\n" + std::string(title) + "\r\n";
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += paragraphs[i].clean;
    }
    // The closing tag leaves "/", which survives only ahead of byte 40.
    if (out.size() < 39) out += "/";
    return out;
}

std::vector<FixturePage> generate_book(const BookSpec& plan) {
    std::vector<FixturePage> pages;
    const std::string index_path = "/" + plan.book + "/";
    const int last = plan.first_chapter + plan.chapter_count - 1;
    for (int chapter = plan.first_chapter; chapter <= last; ++chapter) {
        const bool two_pages =
            std::ranges::find(plan.two_page_chapters, chapter) != plan.two_page_chapters.end();
        const int page_count = two_pages ? 2 : 1;
        for (int page_number = 1; page_number <= page_count; ++page_number) {
            const std::size_t seed = static_cast<std::size_t>(chapter * 7 + page_number);
            std::vector<Paragraph> paragraphs = {plain_paragraph(sentence(seed))};
            std::ranges::copy(decorated_paragraphs(seed + 1), std::back_inserter(paragraphs));
            const bool continued = page_number < page_count;
            ChapterPage page{
                .title = chapter_title(chapter, page_number),
                .content = std::nullopt,
                .next_path = continued ? page_path(plan.book, chapter, page_number + 1)
                                       : page_path(plan.book, chapter + 1, 1),
                .previous_path = page_path(plan.book, chapter - 1, 1),
                .index_path = index_path,
                .upper_case_links = chapter % 3 == 0,
                .book_name = plan.name,
                .author = plan.author,
            };
            const auto assemble = [&] {
                std::vector<Paragraph> all = paragraphs;
                if (continued) {
                    all.push_back(
                        {std::string(kIndent) + gbk("本章未完，点击下一页继续阅读"), "    "});
                }
                page.content = site_content(all);
                return all;
            };
            std::vector<Paragraph> all = assemble();
            if (plan.page_bytes > 0) {
                const std::size_t frame = chapter_page(page).size() - page.content->size();
                std::size_t body = page.content->size();
                for (std::size_t n = seed * 100; frame + body < plan.page_bytes; ++n) {
                    paragraphs.push_back(plain_paragraph(sentence(n)));
                    body += paragraphs.back().html.size() + kParagraphBreak.size();
                }
                all = assemble();
            }
            pages.push_back({.path = page_path(plan.book, chapter, page_number),
                             .bytes = chapter_page(page),
                             .clean_text = clean_chapter(*page.title, all),
                             .next_path = page.next_path});
        }
    }
    return pages;
}

FixturePage sized_page(std::string_view path, std::string_view next_path, std::size_t page_bytes) {
    FixturePage page = generate_book({.book = "sized", .page_bytes = page_bytes}).front();
    const std::string old_next = page.next_path;
    page.path = std::string(path);
    page.next_path = std::string(next_path);
    // Only the 24th link (and its copy in the footer) leads on.
    for (std::size_t at = page.bytes.find("\"" + old_next + "\""); at != std::string::npos;
         at = page.bytes.find("\"" + old_next + "\"", at)) {
        page.bytes.replace(at + 1, old_next.size(), next_path);
        at += next_path.size() + 2;
    }
    return page;
}

std::string worked_example_page(std::string_view next_path) {
    ChapterPage page{
        .title = gbk("第1章 雨夜"),
        .content = gbk("&nbsp;&nbsp;&nbsp;&nbsp;他推开门，看见一只Brown猫。<br/><br/>"
                       "&nbsp;&nbsp;&nbsp;&nbsp;<center>--广告--</center>雨还在下，1/2。"
                       "<br />本章未完，点击下一页继续阅读</div><div>x"),
        .next_path = std::string(next_path),
    };
    return chapter_page(page);
}

std::string worked_example_text() {
    return gbk("\r\n第1章 雨夜\r\n    他推开门，看见一只own猫。\r\n    广告雨还在下，12。 ");
}

std::vector<FixturePage> fixture_pages() {
    std::vector<FixturePage> pages =
        generate_book({.book = "123", .chapter_count = 5, .two_page_chapters = {2}});
    std::ranges::copy(generate_book({.book = "1_1234",
                                     .first_chapter = 5678,
                                     .chapter_count = 3,
                                     .two_page_chapters = {5678}}),
                      std::back_inserter(pages));

    pages.push_back({.path = "/edge/example.html",
                     .bytes = worked_example_page("/edge/example_2.html"),
                     .clean_text = worked_example_text(),
                     .next_path = "/edge/example_2.html"});

    const std::vector<Paragraph> body = {plain_paragraph(sentence(1)),
                                         plain_paragraph(sentence(2))};
    pages.push_back({.path = "/edge/no_title.html",
                     .bytes = chapter_page({.title = std::nullopt,
                                            .content = site_content(body),
                                            .next_path = "/edge/no_content.html"}),
                     .clean_text = clean_chapter("", body),
                     .next_path = "/edge/no_content.html"});
    pages.push_back(
        {.path = "/edge/no_content.html",
         .bytes = chapter_page(
             {.title = gbk("无正文"), .content = std::nullopt, .next_path = "/edge/23_links.html"}),
         .clean_text = "",
         .next_path = "/edge/23_links.html"});
    pages.push_back({.path = "/edge/23_links.html",
                     .bytes = chapter_page({.title = gbk("少一个链接"),
                                            .content = site_content(body),
                                            .next_path = "/edge/unreachable.html",
                                            .navigation_links = 18,
                                            .footer_links = false}),
                     .clean_text = clean_chapter(gbk("少一个链接"), body),
                     .next_path = ""});
    // A nested block: its opening tag has attributes and does not cut, the
    // inner bare <div> does, and the rest of the chapter is lost.
    std::vector<Paragraph> nested = body;
    nested.push_back(
        {"<div class=\"note\">" + sentence(3) + "<div>" + sentence(4) + "</div>" + sentence(5),
         "div class=\"note\"" + sentence(3)});
    pages.push_back({.path = "/edge/nested_div.html",
                     .bytes = chapter_page({.title = gbk("嵌套"),
                                            .content = site_content(nested),
                                            .next_path = "/edge/after_nested.html"}),
                     .clean_text = clean_chapter(gbk("嵌套"), nested),
                     .next_path = "/edge/after_nested.html"});
    std::vector<Paragraph> with_nul = body;
    with_nul.push_back(plain_paragraph(sentence(3) + std::string(1, '\0') + sentence(4)));
    pages.push_back({.path = "/edge/nul.html",
                     .bytes = chapter_page({.title = gbk("零字节"),
                                            .content = site_content(with_nul),
                                            .next_path = "/edge/after_nul.html",
                                            .body_prefix = std::string("<!-- \0 -->\r\n", 12)}),
                     .clean_text = clean_chapter(gbk("零字节"), with_nul),
                     .next_path = "/edge/after_nul.html"});
    return pages;
}

SitePages as_site(const std::vector<FixturePage>& pages) {
    SitePages site;
    for (const FixturePage& page : pages) site.emplace(page.path, page.bytes);
    return site;
}

SitePages fixture_site() { return as_site(fixture_pages()); }

}  // namespace novel::fixture
