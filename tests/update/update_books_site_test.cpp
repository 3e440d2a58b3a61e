// Updating stored books against the fixture site at its real address
// (inside a private network namespace), a site that changes between runs:
// a placeholder filled in, chapters published later, a newest page that
// leads back to the book's folder, a book whose site is down.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "chapter/book_info.h"
#include "chapter/site.h"
#include "download/range_download.h"
#include "library/txt_export.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"
#include "tests/support/temp_folder.h"
#include "update/update_books.h"

namespace novel {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

const UpdateOptions kQuick{.retry = {.retries = 2, .first_wait = 10ms, .longest_wait = 20ms},
                           .pause_between_books = 10ms,
                           .jitter = [] { return 0.0; }};

std::string title_of(const fixture::FixturePage& page) {
    return page.clean_text.substr(2, page.clean_text.find("\r\n", 2) - 2);
}

class UpdateBooks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
    }
    void serve(const fixture::SitePages& pages) {
        server_.reset();
        server_ = std::make_unique<fixture::FixtureSiteServer>(
            pages, fixture::SiteServerOptions{.port = 443, .answer = [](const std::string& target) {
                                                  if (!target.starts_with("/71/"))
                                                      return fixture::SiteAnswer{};
                                                  return fixture::SiteAnswer{.status = 503,
                                                                             .body = "down"};
                                              }});
        ASSERT_TRUE(server_->listening());
    }
    // A range download into path, each page stored as the front ends store it.
    RangeResult download(const std::string& book, const std::string& start, const std::string& end,
                         const fs::path& path, Library* library) {
        SerialPages pages;
        const DownloadHooks hooks{.page_written = [&](const WrittenPage& written) {
            if (library == nullptr) return;
            const BookInfo info =
                extract_book_info(written.page, chapter_index_of(written.link).book_number);
            EXPECT_TRUE(library
                            ->store_page({.address = written.link,
                                          .chapter = written.chapter,
                                          .book = info,
                                          .fetched_at = 1})
                            .status.ok());
        }};
        return download_range({.book = book, .start = start, .end = end}, pages,
                              {.output_path = path.string()}, hooks, {});
    }
    std::vector<BookUpdate> update(const std::vector<std::string>& books) {
        SerialPages pages;
        server_->clear_requests();
        return update_books(*library_, books, pages, kQuick, {});
    }

    testing::TempFolder folder_;
    std::unique_ptr<Library> library_ =
        open_library((folder_.path() / "library.sqlite3").string()).library;
    std::unique_ptr<fixture::FixtureSiteServer> server_;
};

TEST_F(UpdateBooks, FillsInPlaceholdersAndFollowsNewChaptersAsADownloadWould) {
    // Published later: chapter 13 on two pages and chapter 14.
    const std::vector<fixture::FixturePage> later =
        fixture::generate_book({.book = "70",
                                .chapter_count = 14,
                                .two_page_chapters = {13},
                                .name = fixture::gbk("长夜行舟"),
                                .author = fixture::gbk("舟子")});
    ASSERT_EQ(later.size(), 15u);
    fixture::SitePages before;
    for (std::size_t at = 0; at < 11; ++at) before[later[at].path] = later[at].bytes;
    // Chapter 12 is a placeholder for now, and leads back to the book's folder.
    before["/70/12.html"] = fixture::chapter_page({.title = title_of(later[11]),
                                                   .content = fixture::gbk("正在手打中，请稍后"),
                                                   .next_path = "/70/",
                                                   .previous_path = "/70/11.html",
                                                   .index_path = "/70/",
                                                   .book_name = fixture::gbk("长夜行舟"),
                                                   .author = fixture::gbk("舟子")});
    serve(before);
    ASSERT_EQ(download("70", "1", "12", folder_.path() / "first.txt", library_.get()).end,
              RangeEnd::reached_end);

    // Nothing new: the last three pages again, and the folder never asked for.
    std::vector<BookUpdate> nothing = update({"70"});
    ASSERT_EQ(nothing.size(), 1u);
    EXPECT_EQ(nothing[0].outcome, UpdateOutcome::checked);
    EXPECT_TRUE(nothing[0].new_chapters.empty());
    EXPECT_EQ(nothing[0].updated_pages, 0u);
    EXPECT_EQ(nothing[0].name, fixture::gbk("长夜行舟"));
    EXPECT_EQ(server_->requested_targets(),
              (std::vector<std::string>{"/70/10.html", "/70/11.html", "/70/12.html"}));

    serve(fixture::as_site(later));
    const std::vector<BookUpdate> found = update({"70"});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].outcome, UpdateOutcome::checked) << found[0].reason;
    EXPECT_EQ(found[0].updated_pages, 1u);
    EXPECT_EQ(found[0].new_pages, 3u);
    ASSERT_EQ(found[0].new_chapters.size(), 2u);
    EXPECT_EQ(found[0].new_chapters[0].title, title_of(later[12]));
    EXPECT_EQ(found[0].new_chapters[1].title, title_of(later[14]));
    // The chapter after 14 is not there yet: its 404 ends the walk.
    EXPECT_EQ(server_->requested_targets(),
              (std::vector<std::string>{"/70/10.html", "/70/11.html", "/70/12.html", "/70/13.html",
                                        "/70/13_2.html", "/70/14.html", "/70/15.html"}));

    // The stored book is what a fresh download of the same range writes.
    const fs::path fresh = folder_.path() / "fresh.txt";
    ASSERT_EQ(download("70", "1", "14", fresh, nullptr).end, RangeEnd::reached_end);
    const fs::path exported = folder_.path() / "export.txt";
    ASSERT_EQ(export_txt(*library_, "70", exported.string()).end, TxtExportEnd::written);
    EXPECT_EQ(testing::file_contents(exported), testing::file_contents(fresh));

    // Again: nothing new, four requests at most (the 404 past the end included).
    const std::vector<BookUpdate> again = update({"70"});
    EXPECT_TRUE(again[0].new_chapters.empty());
    EXPECT_EQ(again[0].updated_pages, 0u);
    EXPECT_LE(server_->requested_targets().size(), 4u);
}

TEST_F(UpdateBooks, ABookThatCannotBeCheckedSaysWhyAndTheOthersGoOn) {
    const std::vector<fixture::FixturePage> book =
        fixture::generate_book({.book = "72", .chapter_count = 2});
    fixture::SitePages site = fixture::as_site(book);
    site["/71/1.html"] = book[0].bytes;
    serve(site);
    ASSERT_EQ(download("72", "1", "2", folder_.path() / "a.txt", library_.get()).end,
              RangeEnd::reached_end);
    // Book 71 was stored while its site was up; now it answers 503 to everything.
    const Chapter chapter = extract_chapter(book[0].bytes);
    ASSERT_TRUE(library_
                    ->store_page({.address = std::string(SITE_ORIGIN) + "/71/1.html",
                                  .chapter = chapter,
                                  .book = {.name = "71"},
                                  .fetched_at = 1})
                    .status.ok());

    const std::vector<BookUpdate> results = update({});
    ASSERT_EQ(results.size(), 2u);
    const auto down = std::ranges::find(results, "71", &BookUpdate::book_number);
    const auto up = std::ranges::find(results, "72", &BookUpdate::book_number);
    ASSERT_NE(down, results.end());
    ASSERT_NE(up, results.end());
    EXPECT_EQ(down->outcome, UpdateOutcome::network_failed);
    EXPECT_NE(down->reason.find("503"), std::string::npos);
    EXPECT_EQ(down->requests, 3u) << "the first attempt and two retries";
    EXPECT_EQ(up->outcome, UpdateOutcome::checked);
    EXPECT_LE(up->requests, 4u);
    EXPECT_EQ(update({"73"})[0].outcome, UpdateOutcome::not_stored);
}

}  // namespace
}  // namespace novel
