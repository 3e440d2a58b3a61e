#include "library/epub_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "chapter/chapter_extraction.h"
#include "library/book_uuid.h"
#include "library/script_converter.h"
#include "platform/gbk.h"
#include "platform/utf8.h"
#include "tests/library/epub_reading.h"
#include "tests/support/fixture_site.h"
#include "tests/support/temp_folder.h"

namespace novel {
namespace {
using fixture::gbk;
using testing::EpubEntryRead;
using testing::TempFolder;

constexpr std::string_view kOrigin = "https://fixture.test";
constexpr std::int64_t kModified = 1709280000;  // 2024-03-01T08:00:00Z

std::string utf8(std::string_view gbk_text) { return utf16_to_utf8(gbk_to_utf16(gbk_text)); }

// The key a download stores a page under: its file name without ".html".
std::string key_of(std::string_view path) {
    const std::string_view name = path.substr(path.rfind('/') + 1);
    return std::string(name.substr(0, name.find('.')));
}

// A chapter that is expected in the export: its label and its paragraphs,
// both in UTF-8 and in simplified characters.
struct ExpectedChapter {
    std::string title;
    std::vector<std::string> paragraphs;
};

// Book 123 as the store would walk it: chapters 1 to 5 with chapter 2 on two
// pages, chapter 4 never stored, and a chapter 6 on three pages numbered the
// site's other ways. One page carries markup characters, a control character
// and the characters the traditional export must change.
class FixtureBook {
public:
    FixtureBook() {
        std::vector<fixture::FixturePage> pages = fixture::generate_book(
            {.book = "123", .chapter_count = 6, .two_page_chapters = {2, 6}});
        for (const fixture::FixturePage& page : pages) {
            Chapter chapter = extract_chapter(page.bytes);
            const std::string key = key_of(page.path);
            if (key == "4") {
                items_.emplace_back(ChainGap{std::string(kOrigin) + page.path});
                continue;
            }
            if (key == "3")
                chapter.text +=
                    gbk("\r\n    这是他说的话：a<b>&c\x01"
                        "d\"。");
            if (key == "6") retitle(&chapter, gbk("第6章 夜行（1/3）"));
            if (key == "6_2") retitle(&chapter, gbk("第6章 夜行(2/3)"));
            add(chapter, page.path, key);
            if (key == "6_2") {
                Chapter third = chapter;
                retitle(&third, gbk("第6章 夜行（３／３）"));
                add(third, "/123/6_3.html", "6_3");
            }
        }
    }

    [[nodiscard]] ChainWalk walk() const {
        return [this](const ChainVisitor& visit) {
            for (const ChainItem& item : items_) {
                if (!visit(item)) return;
            }
        };
    }
    [[nodiscard]] const BookFacts& facts() const { return facts_; }
    [[nodiscard]] const std::vector<ExpectedChapter>& expected() const { return expected_; }
    [[nodiscard]] std::string missing_address() const {
        return std::string(kOrigin) + "/123/4.html";
    }

private:
    static void retitle(Chapter* chapter, const std::string& title) {
        const std::size_t end = chapter->text.find("\r\n", 2);
        chapter->text = "\r\n" + title + chapter->text.substr(end);
        chapter->title = title;
    }

    void add(const Chapter& chapter, const std::string& path, const std::string& key) {
        items_.emplace_back(ChainPage{.address = std::string(kOrigin) + path,
                                      .chapter_key = key,
                                      .title = chapter.title,
                                      .text = chapter.text,
                                      .next_link = chapter.next_link,
                                      .fetched_at = kModified - 3600});
        // Written out here line by line, apart from how the export cuts them.
        const std::string text = utf8(chapter.text);
        if (key.find('_') == std::string::npos) {
            std::string title = utf8(chapter.title);
            title = title.substr(0, title.find("（"));
            expected_.push_back({.title = title.substr(0, title.find("("))});
        }
        std::size_t at = text.find("\r\n", 2) + 2;
        while (at < text.size()) {
            std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(at, end - at);
            line.erase(0, line.find_first_not_of(' '));
            std::erase(line, '\x01');
            if (!line.empty()) expected_.back().paragraphs.push_back(line);
            at = end + 2;
        }
    }

    BookFacts facts_{.book_number = "123",
                     .name = gbk("夜行记"),
                     .author = gbk("说书人"),
                     .source_address = std::string(kOrigin) + "/123/",
                     .first_fetched = kModified - 7200,
                     .last_fetched = kModified - 3600};
    std::vector<ChainItem> items_;
    std::vector<ExpectedChapter> expected_;
};

const EpubEntryRead* find_entry(const std::vector<EpubEntryRead>& entries, std::string_view name) {
    for (const EpubEntryRead& entry : entries) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

std::string converted(std::string_view simplified) {
    static ScriptConverterOpening opening = ScriptConverter::open();
    return opening.converter->convert(simplified).value_or("conversion failed");
}

// Runs the real checker; the verdict is what it prints.
void expect_epubcheck_accepts(const std::filesystem::path& epub) {
    if (!std::filesystem::exists("/usr/bin/epubcheck") ||
        std::system("java -version 2>/dev/null") != 0) {
        GTEST_SKIP() << "epubcheck is not installed";
    }
    const std::filesystem::path report = epub.string() + ".epubcheck.txt";
    const std::string command =
        "java -jar /usr/bin/epubcheck '" + epub.string() + "' > '" + report.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string output = testing::file_contents(report);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("ERROR"), std::string::npos) << output;
    EXPECT_EQ(output.find("WARNING"), std::string::npos) << output;
    EXPECT_NE(output.find("No errors or warnings detected"), std::string::npos) << output;
}

class EpubExport : public ::testing::TestWithParam<bool> {
protected:
    [[nodiscard]] bool traditional() const { return GetParam(); }
    [[nodiscard]] std::string in_script(std::string_view simplified) const {
        return traditional() ? converted(simplified) : std::string(simplified);
    }
    EpubResult write() {
        return write_epub(book_.facts(), book_.walk(),
                          {.output_path = output_.string(),
                           .traditional = traditional(),
                           .modified_at = kModified});
    }

    FixtureBook book_;
    TempFolder folder_;
    std::filesystem::path output_ = folder_.path() / "book.epub";
};

TEST_P(EpubExport, WritesEveryChapterAndReportsTheGap) {
    const EpubResult result = write();
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.error, EpubError::none);
    EXPECT_EQ(result.chapters_written, 5);
    EXPECT_EQ(result.pages_read, 8);
    EXPECT_EQ(result.gaps, std::vector<std::string>{book_.missing_address()});
    // Only the book is left in the folder: no working files, no temporary archive.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 1);
}

TEST_P(EpubExport, EpubcheckFindsNothingToReport) {
    ASSERT_TRUE(write().ok);
    expect_epubcheck_accepts(output_);
}

TEST_P(EpubExport, MimetypeComesFirstStoredWithoutExtraField) {
    ASSERT_TRUE(write().ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output_.string());
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].name, "mimetype");
    EXPECT_EQ(entries[0].method, ZIP_CM_STORE);
    EXPECT_EQ(entries[0].content, "application/epub+zip");
    // The local header as readers sniff it: name at 30, no extra field, content at 38.
    const std::string bytes = testing::file_contents(output_).substr(0, 58);
    EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(bytes.substr(26, 4), std::string("\x08\x00\x00\x00", 4));
    EXPECT_EQ(bytes.substr(30), "mimetypeapplication/epub+zip");
    for (const EpubEntryRead& entry : entries) {
        for (const char c : entry.name) {
            EXPECT_LT(static_cast<unsigned char>(c), 0x80) << entry.name;
        }
    }
    EXPECT_NE(find_entry(entries, "META-INF/container.xml"), nullptr);
}

TEST_P(EpubExport, PackageNamesTheBookAndItsLanguage) {
    ASSERT_TRUE(write().ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output_.string());
    const EpubEntryRead* package = find_entry(entries, "OEBPS/content.opf");
    ASSERT_NE(package, nullptr);
    const std::string& opf = package->content;
    const auto only = [&](std::string_view open, std::string_view close) {
        return testing::element_texts(opf, open, close);
    };
    EXPECT_EQ(only("<dc:title>", "</dc:title>"), std::vector{in_script("夜行记")});
    EXPECT_EQ(only("<dc:creator>", "</dc:creator>"), std::vector{in_script("说书人")});
    EXPECT_EQ(only("<dc:language>", "</dc:language>"),
              std::vector<std::string>{traditional() ? "zh-Hant" : "zh-Hans"});
    EXPECT_EQ(only("<dc:identifier id=\"book-id\">", "</dc:identifier>"),
              std::vector{"urn:uuid:" + book_uuid("123")});
    EXPECT_EQ(only("<dc:source>", "</dc:source>"), std::vector{std::string(kOrigin) + "/123/"});
    EXPECT_EQ(only("<meta property=\"dcterms:modified\">", "</meta>"),
              std::vector<std::string>{"2024-03-01T08:00:00Z"});
}

TEST_P(EpubExport, TableOfContentsListsEachChapterOnceByItsTitle) {
    ASSERT_TRUE(write().ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output_.string());
    const EpubEntryRead* nav = find_entry(entries, "OEBPS/nav.xhtml");
    const EpubEntryRead* ncx = find_entry(entries, "OEBPS/toc.ncx");
    ASSERT_NE(nav, nullptr);
    ASSERT_NE(ncx, nullptr);
    std::vector<std::string> labels;
    for (const std::string& link : testing::element_texts(nav->content, "<li><a href=\"", "</a>")) {
        labels.push_back(link.substr(link.find("\">") + 2));
    }
    std::vector<std::string> expected;
    for (const ExpectedChapter& chapter : book_.expected())
        expected.push_back(in_script(chapter.title));
    EXPECT_EQ(labels, expected);
    EXPECT_EQ(testing::element_texts(ncx->content, "<navLabel><text>", "</text>"), expected);
}

TEST_P(EpubExport, EveryParagraphIsALineOfTheStoredText) {
    ASSERT_TRUE(write().ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output_.string());
    const std::vector<ExpectedChapter>& expected = book_.expected();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "OEBPS/text/chapter-%04zu.xhtml", i + 1);
        const EpubEntryRead* chapter = find_entry(entries, name);
        ASSERT_NE(chapter, nullptr) << name;
        std::vector<std::string> paragraphs;
        for (const std::string& line : expected[i].paragraphs)
            paragraphs.push_back(in_script(line));
        EXPECT_EQ(testing::element_texts(chapter->content, "<p>", "</p>"), paragraphs) << name;
        EXPECT_EQ(testing::element_texts(chapter->content, "<h2>", "</h2>"),
                  std::vector{in_script(expected[i].title)});
    }
    EXPECT_EQ(find_entry(entries, "OEBPS/text/chapter-0006.xhtml"), nullptr);
}

TEST_P(EpubExport, GapNoteStandsWhereTheMissingChapterWould) {
    ASSERT_TRUE(write().ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output_.string());
    const EpubEntryRead* gap = find_entry(entries, "OEBPS/text/gap-0001.xhtml");
    ASSERT_NE(gap, nullptr);
    EXPECT_EQ(testing::element_texts(gap->content, "<p class=\"gap\">", "</p>"),
              std::vector{in_script("此处缺少章节：") + book_.missing_address()});
    const std::string& opf = find_entry(entries, "OEBPS/content.opf")->content;
    const std::size_t third = opf.find("<itemref idref=\"c0003\"/>");
    const std::size_t note = opf.find("<itemref idref=\"gap0001\"/>");
    const std::size_t fifth = opf.find("<itemref idref=\"c0004\"/>");
    ASSERT_NE(note, std::string::npos);
    EXPECT_LT(third, note);
    EXPECT_LT(note, fifth);
}

TEST_P(EpubExport, TitlePageShowsAuthorSourceAndFetchTimes) {
    ASSERT_TRUE(write().ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output_.string());
    const EpubEntryRead* title = find_entry(entries, "OEBPS/text/title.xhtml");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(testing::element_texts(title->content, "<h1>", "</h1>"),
              std::vector{in_script("夜行记")});
    const std::vector<std::string> lines = testing::element_texts(title->content, "<p>", "</p>");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], in_script("作者：说书人"));
    EXPECT_NE(lines[1].find(std::string(kOrigin) + "/123/"), std::string::npos);
    EXPECT_NE(lines[2].find("2024-03-01 06:00"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("2024-03-01 07:00"), std::string::npos) << lines[2];
}

INSTANTIATE_TEST_SUITE_P(Scripts, EpubExport, ::testing::Values(false, true),
                         [](const auto& script) {
                             return script.param ? "Traditional" : "Simplified";
                         });

TEST(EpubExportTraditional, ChangesTheCharactersThemselves) {
    FixtureBook book;
    TempFolder folder;
    const std::string output = (folder.path() / "book.epub").string();
    ASSERT_TRUE(
        write_epub(book.facts(), book.walk(), {.output_path = output, .traditional = true}).ok);
    const std::vector<EpubEntryRead> entries = testing::read_epub(output);
    const std::string& third = find_entry(entries, "OEBPS/text/chapter-0003.xhtml")->content;
    EXPECT_NE(third.find("這是他說的話：a&lt;b&gt;&amp;cd&quot;。"), std::string::npos);
    EXPECT_EQ(third.find("这"), std::string::npos);
    EXPECT_EQ(third.find("说"), std::string::npos);
    EXPECT_NE(find_entry(entries, "OEBPS/nav.xhtml")->content.find("目錄"), std::string::npos);
}

}  // namespace
}  // namespace novel
