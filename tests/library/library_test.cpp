// The library against a real file per test: storing and replacing pages,
// offline lookup, reading places, the bookshelf, the chain of next links,
// removing a book, and a full disk.

#include "library/library.h"

#include <gtest/gtest.h>

#include "chapter/site.h"
#include "tests/library/library_test_support.h"

namespace novel::testing {
namespace {
using namespace std::string_literals;

class LibraryTest : public ::testing::Test {
protected:
    std::string path() const { return (folder_.path() / "library.sqlite3").string(); }
    TempFolder folder_;
    std::unique_ptr<Library> library_ = open_or_fail(path());
};

// The items of a book's walk: a page by its key, a gap as "gap:ADDRESS".
std::vector<std::string> walked(const Chain& chain) {
    std::vector<std::string> items;
    chain.walk([&](const ChainItem& item) {
        if (const auto* page = std::get_if<ChainPage>(&item)) {
            items.push_back(page->chapter_key);
        } else {
            items.push_back("gap:" + std::get<ChainGap>(item).missing_address);
        }
        return true;
    });
    EXPECT_TRUE(chain.walk_status->ok()) << chain.walk_status->message;
    return items;
}

TEST_F(LibraryTest, StoresPagesByteForByteAndFindsThemOffline) {
    // NUL and GBK bytes come back exactly.
    const std::string text =
        "\r\n\xb5\xda"
        "1\r\n    a\0b\xff"s;
    ASSERT_EQ(store(*library_, "123", "1", "2", text).outcome, StoreOutcome::inserted);
    ASSERT_EQ(store(*library_, "123", "2", "").outcome, StoreOutcome::inserted);

    const PageLookup first = library_->page_at(page_address("123", "1"));
    ASSERT_TRUE(first.status.ok());
    ASSERT_TRUE(first.found);
    EXPECT_EQ(first.found->book_number, "123");
    EXPECT_EQ(first.found->page.text, text);
    EXPECT_EQ(first.found->page.chapter_key, "1");
    // The reader pages on offline through the next link.
    const PageLookup next = library_->page_at(first.found->page.next_link);
    ASSERT_TRUE(next.found);
    EXPECT_EQ(next.found->page.title, "title 2");
    EXPECT_FALSE(library_->page_at(page_address("123", "3")).found);
    EXPECT_TRUE(library_->page_at(page_address("123", "3")).status.ok());

    // Kept across closing and opening again.
    library_.reset();
    library_ = open_or_fail(path());
    EXPECT_EQ(library_->page_at(page_address("123", "1")).found->page.text, text);
}

TEST_F(LibraryTest, TellsUnchangedFromReplaced) {
    ASSERT_EQ(store(*library_, "5", "1", "2", "\r\nold").outcome, StoreOutcome::inserted);
    EXPECT_EQ(store(*library_, "5", "1", "2", "\r\nold", 2000).outcome, StoreOutcome::unchanged);
    EXPECT_EQ(store(*library_, "5", "1", "2", "\r\nnew", 3000).outcome, StoreOutcome::replaced);
    EXPECT_EQ(library_->page_at(page_address("5", "1")).found->page.text, "\r\nnew");
    EXPECT_EQ(library_->page_at(page_address("5", "1")).found->page.fetched_at, 3000);
    // A changed next link with the same text is a change too.
    EXPECT_EQ(store(*library_, "5", "1", "3", "\r\nnew").outcome, StoreOutcome::replaced);
    const Bookshelf shelf = library_->bookshelf();
    ASSERT_EQ(shelf.rows.size(), 1u);
    EXPECT_EQ(shelf.rows[0].pages, 1);
    EXPECT_EQ(shelf.rows[0].book.first_fetched, 1000);
    EXPECT_EQ(shelf.rows[0].book.last_fetched, 3000);
}

TEST_F(LibraryTest, KnownNamesAreNeverOverwrittenByTheFallback) {
    const BookInfo known{.name = "Night", .author = "Someone", .name_from_page = true};
    const BookInfo fallback{.name = "9", .author = "", .name_from_page = false};
    ASSERT_EQ(store(*library_, "9", "1", "", "", 1, fallback).outcome, StoreOutcome::inserted);
    EXPECT_EQ(library_->book("9").found->name, "9");
    ASSERT_TRUE(store(*library_, "9", "2", "", "", 2, known).status.ok());
    ASSERT_TRUE(store(*library_, "9", "3", "", "", 3, fallback).status.ok());
    const BookLookup book = library_->book("9");
    ASSERT_TRUE(book.found);
    EXPECT_EQ(book.found->name, "Night");
    EXPECT_EQ(book.found->author, "Someone");
    // What an export names as its source: the book's folder on the site, whole.
    EXPECT_EQ(book.found->source_address, std::string(SITE_ORIGIN) + "/9/");
    const BookInfo renamed{.name = "Night II", .author = "", .name_from_page = true};
    ASSERT_TRUE(store(*library_, "9", "4", "", "", 4, renamed).status.ok());
    EXPECT_EQ(library_->book("9").found->name, "Night II");
    EXPECT_EQ(library_->book("9").found->author, "Someone");
    EXPECT_FALSE(library_->book("10").found);
}

TEST_F(LibraryTest, RefusesAddressesThatNameNoChapter) {
    const Chapter chapter{.title = "t", .text = "x", .next_link = ""};
    const BookInfo info{.name = "1"};
    for (const char* address : {"", "https://www.qubige.com/", "https://www.qubige.com/1.html",
                                "https://www.qubige.com/1/2", "no scheme/1/2.html"}) {
        const StoreResult result = library_->store_page(
            {.address = address, .chapter = chapter, .book = info, .fetched_at = 1});
        EXPECT_EQ(result.outcome, StoreOutcome::failed) << address;
        EXPECT_EQ(result.status.error, LibraryError::bad_address) << address;
    }
    EXPECT_TRUE(library_->bookshelf().rows.empty());
}

TEST_F(LibraryTest, BookshelfListsEachBookNewestReadingFirst) {
    // Book 1: read at 500. Book 2: never read, fetched last at 900. Book 3: read at 800.
    ASSERT_TRUE(store(*library_, "1", "1", "1_2", "", 100).status.ok());
    ASSERT_TRUE(store(*library_, "1", "1_2", "2", "", 110).status.ok());
    ASSERT_TRUE(store(*library_, "1", "2", "", "", 120).status.ok());
    ASSERT_TRUE(store(*library_, "2", "7", "", "", 900).status.ok());
    ASSERT_TRUE(store(*library_, "3", "10", "", "", 50).status.ok());
    ASSERT_TRUE(library_->set_reading_place("1", page_address("1", "1_2"), 500).ok());
    ASSERT_TRUE(library_->set_reading_place("3", page_address("3", "10"), 700).ok());
    ASSERT_TRUE(library_->set_reading_place("3", page_address("3", "10"), 800).ok());

    const Bookshelf shelf = library_->bookshelf();
    ASSERT_TRUE(shelf.status.ok());
    ASSERT_EQ(shelf.rows.size(), 3u);
    EXPECT_EQ(shelf.rows[0].book.book_number, "2");
    EXPECT_EQ(shelf.rows[1].book.book_number, "3");
    EXPECT_EQ(shelf.rows[2].book.book_number, "1");

    const BookshelfRow& first = shelf.rows[2];
    EXPECT_EQ(first.pages, 3);
    EXPECT_EQ(first.chapters, 2);  // 1 and 1_2 are one chapter
    EXPECT_EQ(first.newest_title, "title 2");
    EXPECT_EQ(first.newest_address, page_address("1", "2"));
    ASSERT_TRUE(first.place);
    EXPECT_EQ(first.place->address, page_address("1", "1_2"));
    EXPECT_EQ(first.place->title, "title 1_2");
    EXPECT_EQ(first.place->read_at, 500);
    EXPECT_FALSE(shelf.rows[0].place);
    // Unread: beyond the chapter read last, split chapters once; all of a book never read.
    EXPECT_EQ(first.unread_chapters, 1);
    EXPECT_EQ(shelf.rows[1].unread_chapters, 0);
    EXPECT_EQ(shelf.rows[0].unread_chapters, 1);
    const PlaceLookup last = library_->last_reading_place();
    ASSERT_TRUE(last.found);
    EXPECT_EQ(last.found->book_number, "3");
    EXPECT_EQ(last.found->read_at, 800);
    EXPECT_EQ(library_->reading_place("1").found->address, page_address("1", "1_2"));
    EXPECT_FALSE(library_->reading_place("2").found);

    // New chapters stored after the place: they are the unread ones.
    ASSERT_TRUE(store(*library_, "3", "11", "", "", 60).status.ok());
    ASSERT_TRUE(store(*library_, "3", "12", "12_2", "", 61).status.ok());
    ASSERT_TRUE(store(*library_, "3", "12_2", "", "", 62).status.ok());
    EXPECT_EQ(library_->bookshelf().rows.at(1).unread_chapters, 2);
    ASSERT_TRUE(library_->set_reading_place("3", page_address("3", "12_2"), 1000).ok());
    EXPECT_EQ(library_->bookshelf().rows.at(0).unread_chapters, 0);
}

TEST_F(LibraryTest, ChainFollowsNextLinksWithSplitChaptersGapsAndTwoHeads) {
    // Stored out of order: 1 -> 2 -> 2_2 -> 3 -> (4 missing); 5 -> 6 -> (7 missing);
    // 10 -> 11 -> 12 -> (13, not fetched yet).
    for (const auto& [key, next] : std::vector<std::pair<const char*, const char*>>{{"6", "7"},
                                                                                    {"2_2", "3"},
                                                                                    {"10", "11"},
                                                                                    {"1", "2"},
                                                                                    {"5", "6"},
                                                                                    {"3", "4"},
                                                                                    {"12", "13"},
                                                                                    {"2", "2_2"},
                                                                                    {"11", "12"}}) {
        ASSERT_TRUE(store(*library_, "8", key, next).status.ok());
    }
    // Another book's pages never join this chain.
    ASSERT_TRUE(store(*library_, "80", "4", "5").status.ok());

    const Chain chain = library_->chain("8");
    ASSERT_TRUE(chain.status.ok());
    EXPECT_EQ(chain.pages, 9u);
    EXPECT_EQ(chain.gaps, (std::vector{page_address("8", "4"), page_address("8", "7")}));
    // Heads in numeric key order (5 before 10, though "10" < "5" as text);
    // the last page's link to chapter 13 is the book's end, not a gap.
    EXPECT_EQ(walked(chain),
              (std::vector<std::string>{"1", "2", "2_2", "3", "gap:" + page_address("8", "4"), "5",
                                        "6", "gap:" + page_address("8", "7"), "10", "11", "12"}));
}

TEST_F(LibraryTest, ChainPlacesCyclesAndStopsWhenTheVisitorSaysSo) {
    // 1 -> 2 -> 1 has no head; 3 alone; 4 -> 4 links to itself.
    ASSERT_TRUE(store(*library_, "8", "2", "1").status.ok());
    ASSERT_TRUE(store(*library_, "8", "1", "2").status.ok());
    ASSERT_TRUE(store(*library_, "8", "3", "").status.ok());
    ASSERT_TRUE(store(*library_, "8", "4", "4").status.ok());
    const Chain chain = library_->chain("8");
    EXPECT_TRUE(chain.gaps.empty());
    EXPECT_EQ(walked(chain), (std::vector<std::string>{"3", "4", "1", "2"}));

    int seen = 0;
    chain.walk([&](const ChainItem&) { return ++seen < 2; });
    EXPECT_EQ(seen, 2);
    EXPECT_TRUE(library_->chain("missing").walk != nullptr);
    EXPECT_EQ(library_->chain("missing").pages, 0u);
}

TEST_F(LibraryTest, RemovingABookLeavesTheOthers) {
    ASSERT_TRUE(store(*library_, "1", "1", "2").status.ok());
    ASSERT_TRUE(store(*library_, "1", "2", "").status.ok());
    ASSERT_TRUE(store(*library_, "2", "1", "").status.ok());
    ASSERT_TRUE(library_->set_reading_place("1", page_address("1", "2"), 10).ok());
    ASSERT_TRUE(library_->remove_book("1").ok());
    EXPECT_FALSE(library_->page_at(page_address("1", "1")).found);
    EXPECT_FALSE(library_->reading_place("1").found);
    EXPECT_FALSE(library_->last_reading_place().found);
    const Bookshelf shelf = library_->bookshelf();
    ASSERT_EQ(shelf.rows.size(), 1u);
    EXPECT_EQ(shelf.rows[0].book.book_number, "2");
    EXPECT_TRUE(library_->remove_book("never there").ok());
}

TEST_F(LibraryTest, RemembersEachBooksLastExportUntilTheBookGoes) {
    ASSERT_TRUE(store(*library_, "1", "1", "").status.ok());
    EXPECT_FALSE(library_->last_export("1").found);
    ASSERT_TRUE(library_
                    ->remember_export("1", {.path = "a.txt",
                                            .encoding = TextEncoding::gb18030,
                                            .byte_order_mark = true,
                                            .exported_at = 10})
                    .ok());
    ASSERT_TRUE(library_
                    ->remember_export("1", {.path = "b.epub",
                                            .format = ExportFormat::epub,
                                            .traditional = true,
                                            .exported_at = 20})
                    .ok());
    ASSERT_TRUE(library_->remember_export("2", {.path = "c.txt"}).ok());
    const ExportLookup last = library_->last_export("1");
    ASSERT_TRUE(last.found);
    EXPECT_EQ(last.found->path, "b.epub");
    EXPECT_EQ(last.found->format, ExportFormat::epub);
    EXPECT_TRUE(last.found->traditional);
    EXPECT_EQ(last.found->exported_at, 20);
    const ExportLookup other = library_->last_export("2");
    ASSERT_TRUE(other.found);
    EXPECT_EQ(other.found->encoding, TextEncoding::gbk);
    EXPECT_FALSE(other.found->traditional);

    ASSERT_TRUE(library_->remove_book("1").ok());
    EXPECT_FALSE(library_->last_export("1").found);
    EXPECT_TRUE(library_->last_export("2").found);
}

TEST_F(LibraryTest, AFullDiskIsReportedAsFullAndKeepsWhatWasThere) {
    library_.reset();
    const std::string small = (folder_.path() / "small.sqlite3").string();
    std::unique_ptr<Library> library = open_or_fail(small, {.max_pages = 40});
    const std::string text(3000, 'x');
    StoreResult result;
    int stored = 0;
    for (int n = 1; n < 200; ++n) {
        result = store(*library, "1", std::to_string(n), "", text + std::to_string(n));
        if (!result.status.ok()) break;
        ++stored;
    }
    EXPECT_EQ(result.outcome, StoreOutcome::failed);
    EXPECT_EQ(result.status.error, LibraryError::full) << result.status.message;
    ASSERT_GT(stored, 0);
    // Reading goes on, and the failed page left nothing half stored.
    EXPECT_EQ(library->bookshelf().rows.at(0).pages, stored);
    EXPECT_TRUE(library->page_at(page_address("1", "1")).found);
    const IntegrityReport report = library->check_integrity();
    EXPECT_EQ(report.integrity_check, "ok");
    EXPECT_EQ(report.damaged_pages, 0);
}

TEST_F(LibraryTest, ABatchStoresAllOrNothing) {
    {
        LibraryBatch dropped = library_->begin_batch();
        ASSERT_TRUE(dropped.begun().ok());
        ASSERT_EQ(store(*library_, "1", "1", "2").outcome, StoreOutcome::inserted);
        // Seen inside the batch, gone when it ends without a commit.
        EXPECT_TRUE(library_->page_at(page_address("1", "1")).found);
    }
    EXPECT_FALSE(library_->page_at(page_address("1", "1")).found);
    EXPECT_TRUE(library_->bookshelf().rows.empty());

    LibraryBatch batch = library_->begin_batch();
    for (int n = 1; n <= 50; ++n) {
        ASSERT_TRUE(store(*library_, "1", std::to_string(n), std::to_string(n + 1)).status.ok());
    }
    ASSERT_TRUE(batch.commit().ok());
    EXPECT_FALSE(batch.commit().ok());
    EXPECT_EQ(library_->bookshelf().rows.at(0).pages, 50);
    EXPECT_EQ(library_->chain("1").pages, 50u);
}

TEST(LibraryPath, FollowsXdgDataHome) {
    EXPECT_EQ(default_library_path("/data", "/home/u"), "/data/novel_reader/library.sqlite3");
    EXPECT_EQ(default_library_path(nullptr, "/home/u"),
              "/home/u/.local/share/novel_reader/library.sqlite3");
    // Relative or empty values are to be ignored.
    EXPECT_EQ(default_library_path("", "/home/u"),
              "/home/u/.local/share/novel_reader/library.sqlite3");
    EXPECT_EQ(default_library_path("rel", "/home/u"),
              "/home/u/.local/share/novel_reader/library.sqlite3");
}

TEST(PageHash, IsFnv1aOverTheBytes) {
    // Published FNV-1a 64 test vectors.
    EXPECT_EQ(page_hash(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(page_hash("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(page_hash("foobar"), 0x85944171f73967e8ull);
    EXPECT_NE(page_hash("ab"), page_hash("ba"));
}

}  // namespace
}  // namespace novel::testing
