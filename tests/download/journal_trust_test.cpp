// A journal is only a file beside the output: whatever stands in it, or is
// planted around it, continuing never leaves the site, never cuts a file it
// did not write, and never writes through a link or into a FIFO.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "download/journal.h"
#include "download/range_download.h"
#include "platform/files.h"
#include "tests/download/fake_pages.h"
#include "tests/support/temp_folder.h"

namespace novel::testing {
namespace {
namespace fs = std::filesystem;
using namespace std::string_view_literals;

class JournalTrust : public ::testing::Test {
protected:
    void SetUp() override {
        output_ = (folder_.path() / "book.txt").string();
        // The run breaks at chapter 4, leaving a journal behind three pages.
        pages_.script("/123/4.html", {{.body = "<html>404</html>", .status = 404}});
        const RangeResult broken =
            download_range({.book = "123", .start = "1", .end = "5"}, pages_, options(), {}, {});
        ASSERT_EQ(broken.end, RangeEnd::fetch_failed);
        ASSERT_TRUE(read_journal(output_).has_value());
        file_before_ = file_contents(output_);
        pages_.fetched.clear();
    }
    DownloadOptions options() const {
        return {.output_path = output_,
                .retry = {.first_wait = Milliseconds(1), .longest_wait = Milliseconds(2)}};
    }
    // Replaces one "key=value" line of the journal's state.
    void edit_journal(const std::string& key, const std::string& value) {
        const std::string path = journal_path(output_);
        const std::string state = file_contents(path);
        const std::regex line("(^|\n)" + key + "=[^\n]*");
        ASSERT_TRUE(std::regex_search(state, line)) << key;
        ASSERT_TRUE(write_file(path, std::regex_replace(state, line, "$1" + key + "=" + value)).ok);
    }
    RangeResult resume(const std::optional<RangeRequest>& expected = {}) {
        return continue_range(pages_, options(), {}, {}, expected);
    }
    void expect_refused(const RangeResult& result, JournalProblem problem) {
        EXPECT_EQ(result.end, RangeEnd::journal_refused);
        EXPECT_EQ(result.journal_problem, problem);
        EXPECT_FALSE(result.can_continue());
        EXPECT_EQ(file_contents(output_), file_before_) << "the file is left as it was";
        EXPECT_TRUE(pages_.fetched.empty()) << "nothing is fetched";
    }

    TempFolder folder_;
    std::string output_;
    std::vector<fixture::FixturePage> book_ =
        fixture::generate_book({.book = "123", .chapter_count = 5, .two_page_chapters = {2}});
    FakePages pages_{book_};
    std::string file_before_;
};

TEST_F(JournalTrust, AnUntouchedJournalContinuesToTheExactFile) {
    const RangeResult result = resume(RangeRequest{"123", "1", "5"});
    EXPECT_EQ(result.end, RangeEnd::reached_end);
    std::string expected;
    for (const fixture::FixturePage& page : book_) expected += "\r\n" + page.clean_text;
    EXPECT_EQ(file_contents(output_), expected);
}

TEST_F(JournalTrust, ANextAddressOffTheSiteIsRefused) {
    for (const char* elsewhere :
         {"https://other.example/123/4.html", "http://www.qubige.com/123/4.html",
          "https://www.qubige.com:8443/123/4.html", "https://www.qubige.com@127.0.0.1/123/4.html",
          "file:///etc/passwd", ""}) {
        SCOPED_TRACE(elsewhere);
        edit_journal("next", elsewhere);
        expect_refused(resume(), JournalProblem::other_site);
    }
}

TEST_F(JournalTrust, AFileThatIsNotTheJournalsIsRefused) {
    // A length that cuts a whole page off the end.
    const std::uint64_t two_pages = file_contents(output_).size() - book_[2].clean_text.size() - 2;
    edit_journal("length", std::to_string(two_pages));
    expect_refused(resume(), JournalProblem::file_changed);

    // The file changed since: one byte inside the counted pages.
    edit_journal("length", std::to_string(file_before_.size()));
    std::string changed = file_before_;
    changed[10] ^= 0x01;
    ASSERT_TRUE(write_file(output_, changed).ok);
    file_before_ = changed;
    expect_refused(resume(), JournalProblem::file_changed);
}

TEST_F(JournalTrust, AnotherRangeThanTheJournalsIsRefused) {
    expect_refused(resume(RangeRequest{"1_1234", "5678", "5680"}), JournalProblem::other_range);
    expect_refused(resume(RangeRequest{"123", "1", "4"}), JournalProblem::other_range);
}

TEST_F(JournalTrust, LinksPlantedAtTheJournalsNamesAreNeverWrittenThrough) {
    const fs::path victim = folder_.path() / "victim";
    ASSERT_TRUE(write_file(victim.string(), "keep me"sv).ok);
    fs::create_symlink(victim, journal_path(output_) + ".tmp");
    fs::remove(journal_links_path(output_));
    fs::create_symlink(victim, journal_links_path(output_));
    // The links file is no journal now; a fresh run goes through, and its
    // journal does not follow the link either.
    pages_.script("/123/4.html", {{.body = "<html>404</html>", .status = 404}});
    const RangeResult result =
        download_range({.book = "123", .start = "1", .end = "5"}, pages_, options(), {}, {});
    EXPECT_NE(result.end, RangeEnd::reached_end);
    EXPECT_EQ(file_contents(victim), "keep me");
}

TEST(OutputFile, AFifoIsRefusedAtOnceAndALinkToAFileIsFollowed) {
    TempFolder folder;
    std::vector<fixture::FixturePage> book =
        fixture::generate_book({.book = "123", .chapter_count = 2});
    FakePages pages{book};
    const fs::path fifo = folder.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const RangeResult refused = download_range({.book = "123", .start = "1", .end = "2"}, pages,
                                               {.output_path = fifo.string()}, {}, {});
    EXPECT_EQ(refused.end, RangeEnd::file_failed);
    EXPECT_EQ(refused.file_reason, NOT_A_REGULAR_FILE);
    EXPECT_TRUE(pages.fetched.empty());
    const RangeResult device = download_range({.book = "123", .start = "1", .end = "2"}, pages,
                                              {.output_path = "/dev/null"}, {}, {});
    EXPECT_EQ(device.file_reason, NOT_A_REGULAR_FILE);

    const fs::path target = folder.path() / "target.txt";
    ASSERT_TRUE(write_file(target.string(), ""sv).ok);
    fs::create_symlink(target, folder.path() / "link.txt");
    const RangeResult linked =
        download_range({.book = "123", .start = "1", .end = "2"}, pages,
                       {.output_path = (folder.path() / "link.txt").string()}, {}, {});
    EXPECT_EQ(linked.end, RangeEnd::reached_end);
    EXPECT_EQ(file_contents(target), "\r\n" + book[0].clean_text + "\r\n" + book[1].clean_text);
    EXPECT_TRUE(fs::is_symlink(folder.path() / "link.txt"));
}

}  // namespace
}  // namespace novel::testing
