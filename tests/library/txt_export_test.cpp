// The text export against a real range download of the same pages: the
// pages stored through the download's page hook must export to the very
// bytes the download wrote.

#include "library/txt_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "chapter/book_info.h"
#include "download/range_download.h"
#include "tests/download/fake_pages.h"
#include "tests/library/library_test_support.h"

namespace novel::testing {
namespace {
namespace fs = std::filesystem;

class TxtExport : public ::testing::Test {
protected:
    // Downloads chapters 1 to 5 of book 123 into download_path, storing each
    // written page into the library as the front ends do.
    void download(bool utf8) {
        FakePages pages(book_);
        const DownloadHooks hooks{.page_written = [&](const WrittenPage& written) {
            const BookInfo info =
                extract_book_info(written.page, chapter_index_of(written.link).book_number);
            const StoreResult stored = library_->store_page({.address = written.link,
                                                             .chapter = written.chapter,
                                                             .book = info,
                                                             .fetched_at = 1});
            EXPECT_TRUE(stored.status.ok()) << stored.status.message;
        }};
        const RangeResult result =
            download_range({.book = "123", .start = "1", .end = "5"}, pages,
                           {.output_path = download_path().string(), .utf8 = utf8}, hooks, {});
        ASSERT_EQ(result.end, RangeEnd::reached_end);
        ASSERT_EQ(result.pages, 6u);
    }
    fs::path download_path() const { return folder_.path() / "download.txt"; }
    fs::path export_path() const { return folder_.path() / "export.txt"; }

    TempFolder folder_;
    std::unique_ptr<Library> library_ = open_or_fail((folder_.path() / "library.sqlite3").string());
    std::vector<fixture::FixturePage> book_ = fixture::generate_book(
        {.book = "123", .chapter_count = 5, .two_page_chapters = {2}, .page_bytes = 4000});
};

TEST_F(TxtExport, GbkBytesEqualTheDownloadsFile) {
    download(false);
    EXPECT_EQ(library_->book("123").found->name, fixture::gbk("夜行记"));
    const TxtExportResult result = export_txt(*library_, "123", export_path().string());
    ASSERT_EQ(result.end, TxtExportEnd::written) << result.file_reason;
    EXPECT_EQ(result.pages, 6u);
    EXPECT_TRUE(result.gaps.empty());
    const std::string exported = file_contents(export_path());
    EXPECT_EQ(exported, file_contents(download_path()));
    EXPECT_GT(exported.size(), 6u * 1000u);
    // No temporary file stays behind.
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
        EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
    }
}

TEST_F(TxtExport, Utf8EqualsTheDownloadsUtf8FileAndTakesABomOnlyWhenAsked) {
    download(true);
    ASSERT_EQ(
        export_txt(*library_, "123", export_path().string(), {.encoding = TextEncoding::utf8}).end,
        TxtExportEnd::written);
    EXPECT_EQ(file_contents(export_path()), file_contents(download_path()));
    ASSERT_EQ(export_txt(*library_, "123", export_path().string(),
                         {.encoding = TextEncoding::utf8, .byte_order_mark = true})
                  .end,
              TxtExportEnd::written);
    EXPECT_EQ(file_contents(export_path()), "\xEF\xBB\xBF" + file_contents(download_path()));
}

TEST_F(TxtExport, Gb18030KeepsGbkCharactersAndMapsTheEuroSign) {
    download(false);
    ASSERT_EQ(
        export_txt(*library_, "123", export_path().string(), {.encoding = TextEncoding::gb18030})
            .end,
        TxtExportEnd::written);
    // The fixture's characters are the same two bytes in both encodings.
    EXPECT_EQ(file_contents(export_path()), file_contents(download_path()));

    // Code page 936 has the euro sign as the single byte 0x80; GB18030 writes it as A2 E3.
    ASSERT_TRUE(store(*library_, "9", "1", "", "\x80 A").status.ok());
    ASSERT_EQ(
        export_txt(*library_, "9", export_path().string(), {.encoding = TextEncoding::gb18030}).end,
        TxtExportEnd::written);
    EXPECT_EQ(file_contents(export_path()), "\r\n\xA2\xE3 A");
}

// The fixture's "夜行" is "夜行" in both scripts; "记" and "马" are not.
TEST_F(TxtExport, TraditionalConvertsTextsAndTitlesInEveryEncoding) {
    const Chapter chapter{.title = fixture::gbk("第1章 马车"),
                          .text = fixture::gbk("\r\n第1章 马车\r\n    这里记着说话的人。"),
                          .next_link = std::string(SITE_ORIGIN)};
    ASSERT_TRUE(library_
                    ->store_page({.address = page_address("9", "1"),
                                  .chapter = chapter,
                                  .book = {.name = "9"},
                                  .fetched_at = 1})
                    .status.ok());
    ASSERT_EQ(export_txt(*library_, "9", export_path().string(),
                         {.encoding = TextEncoding::utf8, .traditional = true})
                  .end,
              TxtExportEnd::written);
    EXPECT_EQ(file_contents(export_path()), "\r\n\r\n第1章 馬車\r\n    這裡記著說話的人。");
    ASSERT_EQ(export_txt(*library_, "9", export_path().string(), {.traditional = true}).end,
              TxtExportEnd::written);
    EXPECT_EQ(file_contents(export_path()),
              fixture::gbk("\r\n\r\n第1章 馬車\r\n    這裡記著說話的人。"));
}

TEST_F(TxtExport, ReportsGapsAndWritesAroundThem) {
    ASSERT_TRUE(store(*library_, "7", "1", "2", "\r\none").status.ok());
    ASSERT_TRUE(store(*library_, "7", "3", "", "\r\nthree").status.ok());
    const TxtExportResult result = export_txt(*library_, "7", export_path().string());
    ASSERT_EQ(result.end, TxtExportEnd::written);
    EXPECT_EQ(result.pages, 2u);
    EXPECT_EQ(result.gaps, std::vector{page_address("7", "2")});
    EXPECT_EQ(file_contents(export_path()), "\r\n\r\none\r\n\r\nthree");
}

TEST_F(TxtExport, AFailedExportLeavesNothingAndAnEmptyBookWritesNothing) {
    ASSERT_TRUE(store(*library_, "7", "1", "", "\r\none").status.ok());
    const fs::path nowhere = folder_.path() / "missing" / "export.txt";
    const TxtExportResult failed = export_txt(*library_, "7", nowhere.string());
    EXPECT_EQ(failed.end, TxtExportEnd::file_failed);
    EXPECT_FALSE(failed.file_reason.empty());
    EXPECT_FALSE(fs::exists(nowhere.parent_path()));

    // A target that cannot be replaced (a folder) keeps no temporary file beside it.
    fs::create_directory(export_path());
    fs::create_directory(export_path() / "inside");
    EXPECT_EQ(export_txt(*library_, "7", export_path().string()).end, TxtExportEnd::file_failed);
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
        EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
    }

    EXPECT_EQ(export_txt(*library_, "none", (folder_.path() / "none.txt").string()).end,
              TxtExportEnd::no_pages);
    EXPECT_FALSE(fs::exists(folder_.path() / "none.txt"));
}

}  // namespace
}  // namespace novel::testing
