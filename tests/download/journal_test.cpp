#include "download/journal.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "download/journal_writer.h"
#include "tests/support/temp_folder.h"

namespace novel {
namespace {
namespace fs = std::filesystem;
using namespace std::string_view_literals;

class JournalFiles : public ::testing::Test {
protected:
    void SetUp() override {
        output_ = (folder_.path() / "out.txt").string();
        ASSERT_TRUE(write_file(output_, "pages"sv).ok);
    }
    testing::TempFolder folder_;
    std::string output_;
};

TEST_F(JournalFiles, KeepAnyBytesOfTheBoxesAndLinks) {
    const std::string odd = std::string("a%0A\r\n\0\xB5\xDA=b", 11);
    {
        JournalWriter writer(output_, 0);
        writer.record(
            {.book = odd, .start = "1", .end = "", .next_link = "n", .file_length = 5, .pages = 1},
            "first");
        writer.record(
            {.book = odd, .start = "1", .end = "", .next_link = "m", .file_length = 5, .pages = 2},
            odd);
        ASSERT_TRUE(writer.flush().ok);
    }
    const std::optional<Journal> journal = read_journal(output_);
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(journal->state.book, odd);
    EXPECT_EQ(journal->state.end, "");
    EXPECT_EQ(journal->state.next_link, "m");
    EXPECT_EQ(journal->state.pages, 2u);
    EXPECT_EQ(journal->fetched_links, (std::vector<std::string>{"first", odd}));

    ASSERT_TRUE(remove_journal(output_).ok);
    EXPECT_FALSE(read_journal(output_).has_value());
    EXPECT_TRUE(remove_journal(output_).ok) << "a journal already gone is no error";
}

TEST_F(JournalFiles, OnlyCountedLinksCountAndAContinuedWriterGoesOnBehindThem) {
    {
        JournalWriter writer(output_, 0);
        writer.record({.next_link = "b", .pages = 1}, "a");
        ASSERT_TRUE(writer.flush().ok);
    }
    // A line written after the state, as a crash may leave it.
    ASSERT_TRUE(append_file(journal_links_path(output_), "half"sv).ok);
    std::optional<Journal> journal = read_journal(output_);
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(journal->fetched_links, std::vector<std::string>{"a"});
    {
        JournalWriter writer(output_, journal->state.links_length);
        writer.record({.next_link = "c", .pages = 2}, "b");
        ASSERT_TRUE(writer.flush().ok);
    }
    journal = read_journal(output_);
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(journal->fetched_links, (std::vector<std::string>{"a", "b"}));
}

TEST_F(JournalFiles, ABrokenJournalIsNone) {
    for (
        const std::string_view broken :
        {"novel-download-journal 1\nbook=1\n"sv, "something else\n"sv,
         "novel-download-journal 1\nbook=%ZZ\nstart=\nend=\nnext=\nlength=0\npages=0\nlinks=0\nencoding=gbk\n"sv,
         "novel-download-journal 1\nbook=\nstart=\nend=\nnext=\nlength=x\npages=0\nlinks=0\nencoding=gbk\n"sv,
         // more link bytes counted than there are
         "novel-download-journal 1\nbook=\nstart=\nend=\nnext=\nlength=0\npages=0\nlinks=9\nencoding=gbk\n"sv}) {
        ASSERT_TRUE(write_file(journal_path(output_), broken).ok);
        EXPECT_FALSE(read_journal(output_).has_value()) << broken;
    }
}

}  // namespace
}  // namespace novel
