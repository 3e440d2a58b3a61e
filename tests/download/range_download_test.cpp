// The range download against pages held in memory: the file it writes, its
// stop rules, retries, stop, and continuing an unfinished run.

#include "download/range_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <thread>

#include "chapter/chapter_extraction.h"
#include "download/download_messages.h"
#include "download/journal.h"
#include "platform/files.h"
#include "tests/download/fake_pages.h"
#include "tests/support/temp_folder.h"

namespace novel::testing {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_view_literals;

// Retries that wait milliseconds, not seconds.
constexpr RetryPolicy kQuickRetries{.first_wait = Milliseconds(2),
                                    .longest_wait = Milliseconds(10)};

class RangeDownload : public ::testing::Test {
protected:
    void SetUp() override { output_ = folder_.path() / OUTPUT_FILE_NAME; }

    DownloadOptions options(std::size_t limit = MAX_PAGES_PER_RUN) const {
        return {.output_path = output_.string(), .page_limit = limit, .retry = kQuickRetries};
    }
    DownloadHooks hooks() {
        return {
            .progress = [this](const DownloadProgress& progress) { reports_.push_back(progress); },
            .jitter = [] { return 0.0; }};
    }
    RangeResult run(std::string_view start, std::string_view end,
                    std::size_t limit = MAX_PAGES_PER_RUN, std::stop_token stop = {}) {
        return download_range({.book = "123", .start = std::string(start), .end = std::string(end)},
                              pages_, options(limit), hooks(), std::move(stop));
    }
    RangeResult resume(std::stop_token stop = {}) {
        return continue_range(pages_, options(), hooks(), std::move(stop));
    }
    // The file an uninterrupted run gives for these pages of the book.
    std::string blocks(std::initializer_list<std::size_t> indexes) const {
        std::string text;
        for (const std::size_t index : indexes) text += "\r\n" + book_.at(index).clean_text;
        return text;
    }

    TempFolder folder_;
    fs::path output_;
    // Chapters 1 to 5, chapter 2 on two pages: paths 1, 2, 2_2, 3, 4, 5.
    std::vector<fixture::FixturePage> book_ =
        fixture::generate_book({.book = "123", .chapter_count = 5, .two_page_chapters = {2}});
    FakePages pages_{book_};
    std::vector<DownloadProgress> reports_;
};

TEST_F(RangeDownload, WritesEveryPageFromStartToEndAndDropsItsJournal) {
    ASSERT_TRUE(write_file(output_.string(), "an earlier download"sv).ok);
    const RangeResult result = run("1", "3");
    EXPECT_EQ(result.end, RangeEnd::reached_end);
    EXPECT_EQ(result.pages, 4u);
    EXPECT_EQ(pages_.fetched, (std::vector{site("/123/1.html"), site("/123/2.html"),
                                           site("/123/2_2.html"), site("/123/3.html")}));
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2, 3}));
    EXPECT_TRUE(file_contents(output_).starts_with("\r\n\r\n"));
    EXPECT_FALSE(fs::exists(journal_path(output_.string())));
    EXPECT_FALSE(fs::exists(journal_links_path(output_.string())));
    EXPECT_EQ(final_message(result, output_.string(), false),
              fixture::gbk("下载完毕，请到同目录查看"));
    // Progress after every page, with the file's length and the title.
    ASSERT_FALSE(reports_.empty());
    EXPECT_EQ(reports_.back().pages, 4u);
    EXPECT_EQ(reports_.back().file_bytes, file_contents(output_).size());
    EXPECT_FALSE(reports_.back().last_title.empty());
}

TEST_F(RangeDownload, StartEqualToEndFetchesOnePage) {
    EXPECT_EQ(run("3", "3").end, RangeEnd::reached_end);
    EXPECT_EQ(pages_.fetched, std::vector{site("/123/3.html")});
    EXPECT_EQ(file_contents(output_), blocks({3}));
}

TEST_F(RangeDownload, StopRulesEndTheRunWithEveryPageKept) {
    // A page with 23 links names no next page.
    pages_.add("/123/3.html", fixture::chapter_page({.title = fixture::gbk("三"),
                                                     .content = "x",
                                                     .next_path = "/123/4.html",
                                                     .navigation_links = 18,
                                                     .footer_links = false}));
    RangeResult result = run("2", "5");
    EXPECT_EQ(result.end, RangeEnd::no_next_link);
    EXPECT_EQ(result.pages, 3u);
    EXPECT_TRUE(
        final_message(result, output_.string(), false).find(fixture::gbk("该页没有下一页链接")) !=
        std::string::npos);

    // A link back to a page of this run.
    pages_.add("/123/3.html",
               fixture::chapter_page(
                   {.title = fixture::gbk("三"), .content = "x", .next_path = "/123/2.html"}));
    EXPECT_EQ(run("2", "5").end, RangeEnd::repeated_link);

    // The page limit; reaching the end within it is a normal end.
    EXPECT_EQ(run("1", "5", 3).end, RangeEnd::page_limit);
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2}));
    EXPECT_EQ(run("1", "2", 2).end, RangeEnd::reached_end);
    EXPECT_FALSE(fs::exists(journal_path(output_.string())));
}

TEST_F(RangeDownload, APageThatIsNoChapterIsNeverWrittenAndStopsTheRun) {
    // A chapterless 200 is waited out like a 503; only when it stays does the run stop.
    struct Case {
        const char* name;
        PageAnswer answer;
        std::string reason;
    };
    const Case cases[] = {
        {"missing", {.body = "<html>404</html>", .status = 404}, "HTTP \xD7\xB4\xCC\xAC 404"},
        {"empty", {.status = 200}, fixture::gbk("页面是空的")},
        {"error page",
         {.body = "<html>too many requests</html>", .status = 200},
         fixture::gbk("页面中没有正文")},
    };
    for (const Case& failing : cases) {
        SCOPED_TRACE(failing.name);
        const bool waited_out = failing.answer.status == 200;
        pages_.script(
            "/123/2_2.html",
            std::vector<PageAnswer>(waited_out ? 1 + kQuickRetries.retries : 1, failing.answer));
        const RangeResult result = run("1", "5");
        EXPECT_FALSE(result.network_failed);
        EXPECT_TRUE(result.can_continue());
        EXPECT_EQ(result.end, RangeEnd::fetch_failed);
        EXPECT_EQ(result.pages, 2u);
        EXPECT_EQ(result.failed_link, site("/123/2_2.html"));
        EXPECT_EQ(result.fetch_reason, failing.reason);
        EXPECT_EQ(file_contents(output_), blocks({0, 1}));
        EXPECT_NE(final_message(result, output_.string(), true)
                      .find("\xB5\xDA"
                            "3\xD2\xB3"),
                  std::string::npos)
            << "the box names the third page";
    }
}

TEST_F(RangeDownload, WithoutAnEndTheRunGoesToTheNewestChapterAndSaysSo) {
    // Chapter 5 links on to 6, which the site has not got yet.
    const RangeResult result = run("3", "");
    EXPECT_EQ(result.end, RangeEnd::newest_chapter);
    EXPECT_TRUE(result.went_all_the_way());
    EXPECT_FALSE(result.can_continue());
    EXPECT_EQ(result.pages, 3u);
    EXPECT_EQ(file_contents(output_), blocks({3, 4, 5}));
    EXPECT_EQ(std::count(pages_.fetched.begin(), pages_.fetched.end(), site("/123/6.html")), 1)
        << "the missing page is asked for once, not retried";
    EXPECT_FALSE(fs::exists(journal_path(output_.string())));
    const std::string message = final_message(result, output_.string(), false);
    EXPECT_TRUE(message.starts_with(fixture::gbk("下载完毕，请到同目录查看")));
    EXPECT_NE(message.find(fixture::gbk("最新一章，共3页")), std::string::npos);

    // A start page that is not there is a failure still, and so is a last
    // page the site will not give, however far the run got.
    EXPECT_EQ(run("9", "").end, RangeEnd::fetch_failed);
    pages_.script("/123/5.html",
                  std::vector<PageAnswer>(1 + kQuickRetries.retries, PageAnswer{.status = 503}));
    const RangeResult unavailable = run("3", "");
    EXPECT_EQ(unavailable.end, RangeEnd::fetch_failed);
    EXPECT_TRUE(unavailable.can_continue());
    // With an end given, a 404 before it is a gap in the book, not its end.
    EXPECT_EQ(run("3", "7").end, RangeEnd::fetch_failed);
}

TEST_F(RangeDownload, ARateLimitPageIsWaitedOutAndAsksTheSourceForLess) {
    const PageAnswer too_many{.body = fixture::gbk("<html>访问过于频繁</html>"), .status = 200};
    pages_.script("/123/2.html", {too_many, too_many, {.status = 200}});
    const RangeResult result = run("1", "3");
    EXPECT_EQ(result.end, RangeEnd::reached_end);
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2, 3}));
    EXPECT_EQ(std::count(pages_.fetched.begin(), pages_.fetched.end(), site("/123/2.html")), 4);
    EXPECT_EQ(pages_.slow_downs, 3);
}

TEST_F(RangeDownload, AFreshRunWhoseFirstPageFailsLeavesTheFileAsItWas) {
    ASSERT_TRUE(write_file(output_.string(), "an earlier download"sv).ok);
    pages_.script("/123/1.html", {{.body = "<html>404</html>", .status = 404}});
    EXPECT_EQ(run("1", "3").end, RangeEnd::fetch_failed);
    EXPECT_EQ(file_contents(output_), "an earlier download");
}

TEST_F(RangeDownload, TransientFailuresAreRetriedAndTheFileIsExact) {
    pages_.script("/123/2.html",
                  {{.error = TransportError::timed_out}, {.body = "busy", .status = 503}});
    const RangeResult result = run("1", "3");
    EXPECT_EQ(result.end, RangeEnd::reached_end);
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2, 3}));
    EXPECT_EQ(std::count(pages_.fetched.begin(), pages_.fetched.end(), site("/123/2.html")), 3);
    EXPECT_EQ(pages_.slow_downs, 1);
    // Each wait was shown, with the reason of the attempt before it.
    std::vector<int> retries_shown;
    for (const DownloadProgress& progress : reports_) {
        if (progress.waiting) retries_shown.push_back(progress.waiting->retry);
    }
    EXPECT_EQ(retries_shown.front(), 1);
    EXPECT_EQ(retries_shown.back(), 2);
}

TEST_F(RangeDownload, ARetryAfterHeaderSetsTheWait) {
    pages_.script("/123/1.html",
                  {{.body = "slow down", .status = 429, .headers = "Retry-After: 1\r\n"}});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(run("1", "1").end, RangeEnd::reached_end);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    ASSERT_TRUE(reports_.size() > 1 && reports_[1].waiting.has_value());
    EXPECT_GT(reports_[1].waiting->left, 900ms);
    EXPECT_EQ(pages_.slow_downs, 1);
}

TEST_F(RangeDownload, AFailureThatNeverHealsStopsAfterFiveRetriesAndContinuesLater) {
    std::vector<PageAnswer> unavailable(6, PageAnswer{.body = "down", .status = 503});
    pages_.script("/123/3.html", unavailable);
    const RangeResult failed = run("1", "5");
    EXPECT_EQ(failed.end, RangeEnd::fetch_failed);
    EXPECT_EQ(std::count(pages_.fetched.begin(), pages_.fetched.end(), site("/123/3.html")), 6);
    EXPECT_NE(failed.fetch_reason.find("503"), std::string::npos);
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2}));

    // The site is back: the run goes on from the failed page to the very
    // file an uninterrupted run writes.
    const RangeResult continued = resume();
    EXPECT_EQ(continued.end, RangeEnd::reached_end);
    EXPECT_EQ(continued.pages, 6u);
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(read_journal(output_.string()).has_value());
}

TEST_F(RangeDownload, StopEndsARequestAtOnceAndTheRunContinuesToTheSameFile) {
    std::stop_source stop;
    pages_.before_answer = [&](const std::string& link, std::stop_token token) {
        if (link != site("/123/3.html")) return;
        stop.request_stop();  // as the button does, while the request hangs
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait(lock, token, [] { return false; });
    };
    const RangeResult stopped = run("1", "5", MAX_PAGES_PER_RUN, stop.get_token());
    EXPECT_EQ(stopped.end, RangeEnd::stopped);
    EXPECT_EQ(stopped.pages, 3u);
    EXPECT_EQ(file_contents(output_), blocks({0, 1, 2}));
    EXPECT_NE(final_message(stopped, output_.string(), true).find(fixture::gbk("用户停止")),
              std::string::npos);

    // A page half written when the process died is cut off, and a link
    // fetched before is still known: the loop back to it is caught.
    ASSERT_TRUE(append_file(output_.string(), "\r\nhalf a pa"sv).ok);
    pages_.before_answer = nullptr;
    const std::string loop_back = fixture::chapter_page(
        {.title = fixture::gbk("四"), .content = "x", .next_path = "/123/1.html"});
    pages_.add("/123/4.html", loop_back);
    const RangeResult continued = resume();
    EXPECT_EQ(continued.end, RangeEnd::repeated_link);
    EXPECT_EQ(file_contents(output_),
              blocks({0, 1, 2, 3}) + "\r\n" + extract_chapter(loop_back).text);
}

TEST_F(RangeDownload, ContinuingNeedsAnUnfinishedRun) {
    EXPECT_EQ(resume().end, RangeEnd::no_journal);
    ASSERT_EQ(run("1", "2").end, RangeEnd::reached_end);
    EXPECT_EQ(resume().end, RangeEnd::no_journal);
}

TEST_F(RangeDownload, FileFailuresStopTheRunWithTheSystemsReason) {
    fs::create_directory(output_);
    const RangeResult unwritable = run("1", "3");
    EXPECT_EQ(unwritable.end, RangeEnd::file_failed);
    EXPECT_EQ(unwritable.failed_step, FileStep::open);
    EXPECT_TRUE(pages_.fetched.empty()) << "nothing is fetched for a file that cannot be written";
    EXPECT_EQ(final_message(unwritable, output_.string(), false),
              fixture::gbk("无法写入文件：") + gbk_from_utf8(output_.string()) +
                  fixture::gbk("\r\n原因：") + "Is a directory");
    fs::remove(output_);

    // The file goes away in the middle of a run.
    pages_.before_answer = [&](const std::string& link, std::stop_token) {
        if (link == site("/123/2.html")) fs::remove(output_);
    };
    const RangeResult lost = run("1", "3");
    EXPECT_EQ(lost.end, RangeEnd::file_failed);
    EXPECT_EQ(lost.failed_step, FileStep::append);
    EXPECT_EQ(lost.pages, 1u);
}

TEST(DownloadMessages, SayHowTheRunEnded) {
    const std::string done = fixture::gbk("下载完毕，请到同目录查看");
    const std::string path = "/d/\xE6\x96\x87\xE6\x9C\xAC.txt";  // 文本.txt in UTF-8
    EXPECT_EQ(start_message(), fixture::gbk("开始下载，请耐心等待"));
    EXPECT_EQ(final_message({.end = RangeEnd::reached_end, .pages = 7}, path, false), done);
    EXPECT_EQ(
        final_message({.end = RangeEnd::repeated_link, .pages = 3}, path, false),
        done +
            fixture::gbk(
                "\r\n下一页链接在第3页后中断（下一页链接指向本次已下载的页面），未到达结束章节。"));
    EXPECT_EQ(
        final_message({.end = RangeEnd::page_limit, .pages = MAX_PAGES_PER_RUN}, path, false),
        done + fixture::gbk(
                   "\r\n下一页链接在第20000页后中断（已达到每次20000页的上限），未到达结束章节。"));
    EXPECT_EQ(final_message({.end = RangeEnd::stopped, .pages = 4}, path, true),
              done + fixture::gbk("\r\n下载已被用户停止，此前已下载4页。\r\n打开下载窗口点击“继续下"
                                  "载”可从此处接着下载。"));
    EXPECT_EQ(
        final_message({.end = RangeEnd::fetch_failed,
                       .pages = 4,
                       .failed_link = "https://www.qubige.com/1/5.html",
                       .fetch_reason = fixture::gbk("连接超时")},
                      path, false),
        done + fixture::gbk("\r\n第5页获取失败：连接超时（https://www.qubige.com/1/5.html）"));
    // A path that is not UTF-8 still gives a readable message.
    EXPECT_EQ(final_message({.end = RangeEnd::file_failed,
                             .pages = 2,
                             .failed_step = FileStep::append,
                             .file_reason = "No space left on device"},
                            "/a/\xff.txt", false),
              fixture::gbk("无法写入文件：/a/?.txt\r\n原因：No space left on "
                           "device\r\n文件中保存了此前下载的2页。"));
    EXPECT_EQ(
        no_directory_message("No such file or directory"),
        fixture::gbk("找不到程序所在的目录，无法保存文件。\r\n原因：No such file or directory"));
}

TEST(ChapterAddresses, AreBuiltAndReadAsTyped) {
    EXPECT_EQ(chapter_address(" 12", "3 "), site("/ 12/3 .html"));
    struct Case {
        std::string_view link, book, chapter;
    };
    const Case cases[] = {
        {"https://www.qubige.com/1_1234/5678.html", "1_1234", "5678"},
        {"https://www.qubige.com/88/99.html?x", "88", "99"},
        {"https://a.com/x.com/88/99.html", "88", "99"},
        {"https://www.qubige.com/88", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const ChapterIndex index = chapter_index_of(c.link);
        EXPECT_EQ(index.book_number, c.book) << c.link;
        EXPECT_EQ(index.chapter_number, c.chapter) << c.link;
    }
}

}  // namespace
}  // namespace novel::testing
