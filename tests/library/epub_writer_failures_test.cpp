// What the export does with odd walks and when it cannot finish: the target
// keeps its old content, and nothing is left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "library/epub_writer.h"
#include "tests/library/epub_reading.h"
#include "tests/support/fixture_site.h"
#include "tests/support/temp_folder.h"

namespace novel {
namespace {
using fixture::gbk;
using testing::TempFolder;

ChainPage page(const std::string& key, const std::string& utf8_title) {
    const std::string title = gbk(utf8_title);
    return {.address = "https://fixture.test/9/" + key + ".html",
            .chapter_key = key,
            .title = title,
            .text = "\r\n" + title + "\r\n" + gbk("    正文。")};
}

struct RecordedWalk {
    std::vector<ChainItem> items;
    int visited = 0;
    ChainWalk walk() {
        return [this](const ChainVisitor& visit) {
            for (const ChainItem& item : items) {
                ++visited;
                if (!visit(item)) return;
            }
        };
    }
};

const BookFacts kBook{.book_number = "9", .name = "", .source_address = "https://fixture.test/9/"};

std::vector<std::filesystem::path> folder_contents(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename());
    }
    return names;
}

std::vector<std::string> nav_labels(const std::string& epub) {
    for (const testing::EpubEntryRead& entry : testing::read_epub(epub)) {
        if (entry.name != "OEBPS/nav.xhtml") continue;
        std::vector<std::string> labels;
        for (const std::string& link :
             testing::element_texts(entry.content, "<li><a href=\"", "</a>")) {
            labels.push_back(link.substr(link.find("\">") + 2));
        }
        return labels;
    }
    return {};
}

class EpubExportFailure : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(write_file_old_content()); }
    bool write_file_old_content() {
        std::ofstream(target_, std::ios::binary) << "old content";
        return std::filesystem::exists(target_);
    }
    void expect_target_untouched() {
        EXPECT_EQ(testing::file_contents(target_), "old content");
        EXPECT_EQ(folder_contents(folder_.path()), std::vector<std::filesystem::path>{"book.epub"});
    }

    TempFolder folder_;
    std::filesystem::path target_ = folder_.path() / "book.epub";
};

TEST_F(EpubExportFailure, AWalkWithoutPagesWritesNothing) {
    RecordedWalk walk{.items = {ChainGap{"https://fixture.test/9/1.html"}}};
    const EpubResult result = write_epub(kBook, walk.walk(), {.output_path = target_.string()});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, EpubError::no_chapters);
    EXPECT_FALSE(result.reason.empty());
    expect_target_untouched();
}

TEST_F(EpubExportFailure, StoppingMidWalkEndsTheWalkAndWritesNothing) {
    RecordedWalk walk{
        .items = {page("1", "第1章 甲"), page("2", "第2章 乙"), page("3", "第3章 丙")}};
    std::stop_source stop;
    const EpubResult result = write_epub(
        kBook, walk.walk(),
        {.output_path = target_.string(), .stop = stop.get_token(), .on_page = [&](int pages) {
             if (pages == 1) stop.request_stop();
         }});
    EXPECT_EQ(result.error, EpubError::cancelled);
    EXPECT_EQ(walk.visited, 2);  // the visitor said no at the second page
    expect_target_untouched();
}

TEST_F(EpubExportFailure, SuccessReplacesTheOldFile) {
    RecordedWalk walk{.items = {page("1", "第1章 甲")}};
    const EpubResult result = write_epub(kBook, walk.walk(), {.output_path = target_.string()});
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(testing::file_contents(target_).substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(folder_contents(folder_.path()), std::vector<std::filesystem::path>{"book.epub"});
}

TEST(EpubExportOutput, AMissingFolderIsReportedAndNothingIsMade) {
    TempFolder folder;
    const std::filesystem::path target = folder.path() / "absent" / "book.epub";
    RecordedWalk walk{.items = {page("1", "第1章 甲")}};
    const EpubResult result = write_epub(kBook, walk.walk(), {.output_path = target.string()});
    EXPECT_EQ(result.error, EpubError::output);
    EXPECT_NE(result.reason.find(target.string()), std::string::npos) << result.reason;
    EXPECT_TRUE(folder_contents(folder.path()).empty());
}

TEST(EpubExportChapters, ChainStartingMidChapterOrEndingInAGapStillReads) {
    TempFolder folder;
    const std::string target = (folder.path() / "book.epub").string();
    RecordedWalk walk{.items = {page("1_2", "第1章 甲（2/2）"), page("2", ""),
                                page("3", "第3章 丙"), page("3_2", "第3章 丙（2）"),
                                page("4_2", "第4章 丁（2）"),
                                ChainGap{"https://fixture.test/9/5.html"}}};
    const EpubResult result = write_epub(kBook, walk.walk(), {.output_path = target});
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.chapters_written, 4);
    EXPECT_EQ(result.gaps, std::vector<std::string>{"https://fixture.test/9/5.html"});
    // A page without a title is listed by its chapter key.
    EXPECT_EQ(nav_labels(target),
              (std::vector<std::string>{"第1章 甲", "2", "第3章 丙", "第4章 丁"}));
    bool note_last = false;
    for (const testing::EpubEntryRead& entry : testing::read_epub(target)) {
        if (entry.name != "OEBPS/content.opf") continue;
        note_last =
            entry.content.find("<itemref idref=\"gap0001\"/>\n</spine>") != std::string::npos;
        // The book never said its name: the title falls back to the book number.
        EXPECT_NE(entry.content.find("<dc:title>9</dc:title>"), std::string::npos);
        EXPECT_EQ(entry.content.find("<dc:creator>"), std::string::npos);
    }
    EXPECT_TRUE(note_last);
}

}  // namespace
}  // namespace novel
