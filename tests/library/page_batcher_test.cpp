// Pages kept a batch at a time are all there once the batcher is done, a
// batch that fails still keeps the pages before the failing one, and
// nothing is stored before a batch is full.

#include "library/page_batcher.h"

#include <gtest/gtest.h>

#include "chapter/site.h"
#include "tests/support/temp_folder.h"

namespace novel {
namespace {
using namespace std::chrono_literals;

std::string address(int n) {
    return std::string(SITE_ORIGIN) + "/9/" + std::to_string(n) + ".html";
}

class Batches : public ::testing::Test {
protected:
    void SetUp() override {
        opened_ = open_library((folder_.path() / "library.sqlite3").string());
        ASSERT_TRUE(opened_.library);
    }
    LibraryStatus store(PageBatcher& batcher, int n) {
        const Chapter chapter{.title = "t" + std::to_string(n),
                              .text = "\r\nt" + std::to_string(n) + "\r\n    x",
                              .next_link = address(n + 1)};
        return batcher.store(
            {.address = address(n), .chapter = chapter, .book = book_, .fetched_at = n});
    }
    [[nodiscard]] bool stored(int n) const {
        return opened_.library->page_at(address(n)).found.has_value();
    }

    testing::TempFolder folder_;
    OpenResult opened_;
    const BookInfo book_{.name = "Nine", .author = "", .name_from_page = true};
};

TEST_F(Batches, PagesWaitForAFullBatchAndAreAllThereAtTheEnd) {
    {
        PageBatcher batcher(*opened_.library, {.pages = 10, .age = 1h});
        for (int n = 1; n <= 9; ++n) ASSERT_TRUE(store(batcher, n).ok());
        EXPECT_FALSE(stored(1)) << "nothing is written before the batch is full";
        ASSERT_TRUE(store(batcher, 10).ok());
        EXPECT_TRUE(stored(10));
        for (int n = 11; n <= 25; ++n) ASSERT_TRUE(store(batcher, n).ok());
    }
    for (int n = 1; n <= 25; ++n) EXPECT_TRUE(stored(n)) << n;
    EXPECT_EQ(opened_.library->chain("9").pages, 25u);
}

TEST_F(Batches, AnOldPageIsWrittenAtTheNextStore) {
    PageBatcher batcher(*opened_.library, {.pages = 1000, .age = 0ms});
    ASSERT_TRUE(store(batcher, 1).ok());
    EXPECT_TRUE(stored(1));
}

TEST_F(Batches, AFullDiskKeepsThePagesBeforeItAndNoPageIsHalfThere) {
    OpenResult small = open_library((folder_.path() / "small.sqlite3").string(), {.max_pages = 40});
    ASSERT_TRUE(small.library);
    PageBatcher batcher(*small.library, {.pages = 8, .age = 1h});
    LibraryStatus failure;
    int n = 1;
    for (; n <= 2000 && failure.ok(); ++n) {
        const std::string big(3000, 'a' + static_cast<char>(n % 26));
        const Chapter chapter{.title = "t", .text = big, .next_link = address(n + 1)};
        failure = batcher.store({.address = address(n), .chapter = chapter, .book = book_});
    }
    EXPECT_EQ(failure.error, LibraryError::full);
    const IntegrityReport report = small.library->check_integrity();
    EXPECT_EQ(report.integrity_check, "ok");
    EXPECT_EQ(report.damaged_pages, 0);
    // Every page up to the one that did not fit, none after it.
    ASSERT_GT(report.pages, 8);
    for (int page = 1; page < n; ++page) {
        EXPECT_EQ(small.library->page_at(address(page)).found.has_value(), page <= report.pages)
            << page;
    }
}

}  // namespace
}  // namespace novel
