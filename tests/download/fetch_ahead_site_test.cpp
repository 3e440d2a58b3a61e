// Fetching ahead over the wire gives the very file of the serial walk, on
// every kind of chain, with answers that arrive out of order, and never asks
// the site for more than the window at once.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "download/fetch_ahead.h"
#include "download/range_download.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"
#include "tests/support/temp_folder.h"

namespace novel {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class FetchingAhead : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
    }
    void TearDown() override { server_.reset(); }

    // Every answer waits a random while, so answers come out of order; the
    // server counts how many requests it works on at once, all of them and
    // those for which counted() holds.
    void serve(fixture::SitePages pages, std::function<int(const std::string&)> status = {},
               std::function<bool(const std::string&)> counted = {}) {
        server_ = std::make_unique<fixture::FixtureSiteServer>(
            std::move(pages), fixture::SiteServerOptions{
                                  .port = 443,
                                  .keep_alive = true,
                                  .answer = [this, status, counted](const std::string& target) {
                                      const int now = ++at_once_;
                                      raise(most_at_once_, now);
                                      const bool counts = counted && counted(target);
                                      if (counts) raise(most_counted_at_once_, ++counted_at_once_);
                                      std::chrono::milliseconds delay;
                                      {
                                          const std::lock_guard lock(mutex_);
                                          delay = std::chrono::milliseconds(
                                              std::uniform_int_distribution<int>(0, 25)(random_));
                                      }
                                      std::this_thread::sleep_for(delay);
                                      --at_once_;
                                      if (counts) --counted_at_once_;
                                      const int answer_status = status ? status(target) : 0;
                                      return fixture::SiteAnswer{.status = answer_status,
                                                                 .body = "busy"};
                                  }});
        ASSERT_TRUE(server_->listening());
    }

    struct Run {
        RangeResult result;
        std::string file;
    };
    Run download(PageSource& source, const RangeRequest& request, const std::string& name) {
        const fs::path output = folder_.path() / name;
        const RangeResult result = download_range(
            request, source,
            {.output_path = output.string(), .retry = {.first_wait = 5ms, .longest_wait = 20ms}},
            {}, {});
        return {result, testing::file_contents(output)};
    }

    testing::TempFolder folder_;
    std::unique_ptr<fixture::FixtureSiteServer> server_;
    static void raise(std::atomic<int>& most, int now) {
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
    }

    std::atomic<int> at_once_ = 0;
    std::atomic<int> most_at_once_ = 0;
    std::atomic<int> counted_at_once_ = 0;
    std::atomic<int> most_counted_at_once_ = 0;
    std::mutex mutex_;
    std::mt19937 random_{12};
};

TEST_F(FetchingAhead, GivesTheFileOfTheSerialWalkOnEveryKindOfChain) {
    fixture::SitePages site = fixture::fixture_site();
    for (const fixture::FixturePage& page : fixture::generate_book(
             {.book = "40", .chapter_count = 30, .two_page_chapters = {2, 3, 4, 9, 20, 21}})) {
        site[page.path] = page.bytes;
    }
    // A chain with a gap in its numbering and one that loops back.
    site["/41/1.html"] =
        fixture::chapter_page({.title = "a", .content = "x", .next_path = "/41/5.html"});
    site["/41/5.html"] =
        fixture::chapter_page({.title = "b", .content = "y", .next_path = "/41/6.html"});
    site["/41/6.html"] =
        fixture::chapter_page({.title = "c", .content = "z", .next_path = "/41/1.html"});
    serve(std::move(site));

    const RangeRequest requests[] = {
        {"40", "1", "30"},  // consecutive chapters, some on two or more pages
        {"123", "1", "5"},  // the fixture book
        {"1_1234", "5678", "5680"},
        {"40", "25", "3"},  // the end before the start: runs off the book
        {"41", "1", "9"},   // a gap, then a loop
        {"123", "2", "2"},
    };
    for (const RangeRequest& request : requests) {
        SCOPED_TRACE(request.book + " " + request.start + " " + request.end);
        SerialPages serial;
        const Run one_by_one = download(serial, request, "serial.txt");
        most_at_once_ = 0;
        FetchAhead ahead(4);
        const Run fetched_ahead = download(ahead, request, "ahead.txt");
        EXPECT_LE(most_at_once_.load(), 4) << "the site never has more than the window to answer";
        // A run that stops leaves its guesses behind: let them end before the next.
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(fetched_ahead.result.end, one_by_one.result.end);
        EXPECT_EQ(fetched_ahead.result.pages, one_by_one.result.pages);
        EXPECT_EQ(fetched_ahead.file, one_by_one.file);
        EXPECT_LE(ahead.figures().most_in_flight, 4u);
    }
}

TEST_F(FetchingAhead, ASiteThatAsksForLessGetsOneRequestAtATime) {
    std::atomic<bool> limited = false;
    std::vector<fixture::FixturePage> book =
        fixture::generate_book({.book = "42", .chapter_count = 40});
    serve(
        fixture::as_site(book),
        [&](const std::string& target) {
            if (target != "/42/10.html" || limited.exchange(true)) return 0;
            return 429;
        },
        // Pages well behind the 429, when the requests it cut short are gone.
        [](const std::string& target) { return std::stoi(target.substr(4)) >= 20; });
    FetchAhead ahead(4);
    const Run run = download(ahead, {"42", "1", "40"}, "limited.txt");
    EXPECT_EQ(run.result.end, RangeEnd::reached_end);
    std::string expected;
    for (const fixture::FixturePage& page : book) expected += "\r\n" + page.clean_text;
    EXPECT_EQ(run.file, expected);
    EXPECT_GT(most_at_once_.load(), 1) << "ahead of the 429, several at once";
    EXPECT_EQ(most_counted_at_once_.load(), 1) << "behind it, one at a time";
}

// A busy site: pages take their time, a missing page's 404 comes at once.
// However fast the misses come, each guess is sent once and the waste stays
// within twice the window.
TEST_F(FetchingAhead, InstantMissesNeverTurnIntoAFlood) {
    fixture::SitePages site;
    const std::vector<fixture::FixturePage> plain =
        fixture::generate_book({.book = "7_7001", .first_chapter = 880001, .chapter_count = 12});
    const std::vector<fixture::FixturePage> mixed =
        fixture::generate_book({.book = "7_7002",
                                .first_chapter = 1,
                                .chapter_count = 10,
                                .two_page_chapters = {2, 5, 6, 9}});
    for (const auto* book : {&plain, &mixed}) {
        for (const fixture::FixturePage& page : *book) site[page.path] = page.bytes;
    }
    const auto answer = fixture::slow_pages_instant_misses(site, 60ms);
    server_ = std::make_unique<fixture::FixtureSiteServer>(
        site, fixture::SiteServerOptions{.port = 443, .keep_alive = true, .answer = answer});
    ASSERT_TRUE(server_->listening());

    struct Case {
        RangeRequest request;
        std::size_t pages;
    };
    const Case cases[] = {{{"7_7001", "880001", "880012"}, plain.size()},
                          {{"7_7001", "880001", "880004"}, 4},
                          {{"7_7002", "1", "10"}, mixed.size()}};
    for (const Case& chain : cases) {
        for (const int window : {1, 4, 8}) {
            SCOPED_TRACE(chain.request.book + " " + chain.request.start +
                         " W=" + std::to_string(window));
            server_->clear_requests();
            FetchAhead ahead(window);
            const Run run = download(ahead, chain.request, "polite.txt");
            ASSERT_EQ(run.result.end, RangeEnd::reached_end);
            ASSERT_EQ(run.result.pages, chain.pages);
            // Guesses still on their way when the run ended reach the site too.
            std::this_thread::sleep_for(100ms);
            const std::vector<std::string> seen = server_->requested_targets();
            EXPECT_LE(seen.size(), chain.pages + 2 * static_cast<std::size_t>(window));
            if (window == 1) {
                EXPECT_EQ(seen.size(), chain.pages) << "one by one: nothing guessed";
            }
            std::map<std::string, int> asked;
            for (const std::string& target : seen) ++asked[target];
            for (const auto& [target, times] : asked) EXPECT_EQ(times, 1) << target;
        }
    }
}

}  // namespace
}  // namespace novel
