// The range download over the wire, as the program runs it: the fixture site
// at the site's real address (inside a private network namespace) answering
// with failures a real site gives.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "chapter/site.h"
#include "download/range_download.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"
#include "tests/support/temp_folder.h"

namespace novel {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr RetryPolicy kQuickRetries{.first_wait = Milliseconds(5),
                                    .longest_wait = Milliseconds(20)};

class OverTheWire : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
        output_ = folder_.path() / OUTPUT_FILE_NAME;
    }
    void TearDown() override { server_.reset(); }

    // Serves the book; answers[path] decides the answers to that path, by
    // the number of the request for it (1 for the first).
    void serve(
        std::function<fixture::SiteAnswer(const std::string& path, int request)> answers = {}) {
        server_ = std::make_unique<fixture::FixtureSiteServer>(
            fixture::as_site(book_),
            fixture::SiteServerOptions{
                .port = 443, .answer = [this, answers](const std::string& target) {
                    int request = 0;
                    {
                        const std::lock_guard lock(mutex_);
                        request = ++requests_[target];
                    }
                    return answers ? answers(target, request) : fixture::SiteAnswer{};
                }});
        ASSERT_TRUE(server_->listening());
    }
    RangeResult download(std::string_view start, std::string_view end) {
        SerialPages pages;
        return download_range({.book = "123", .start = std::string(start), .end = std::string(end)},
                              pages, {.output_path = output_.string(), .retry = kQuickRetries}, {},
                              {});
    }
    std::string blocks(std::size_t first, std::size_t last) const {
        std::string text;
        for (std::size_t index = first; index <= last; ++index)
            text += "\r\n" + book_[index].clean_text;
        return text;
    }

    testing::TempFolder folder_;
    fs::path output_;
    const std::vector<fixture::FixturePage> book_ =
        fixture::generate_book({.book = "123", .chapter_count = 4});
    std::unique_ptr<fixture::FixtureSiteServer> server_;
    std::mutex mutex_;
    std::map<std::string, int> requests_;
};

TEST_F(OverTheWire, APageThatFailsTwiceThenComesGivesTheExactFile) {
    serve([](const std::string& path, int request) {
        return fixture::SiteAnswer{.hang_up = path == "/123/2.html" && request <= 2};
    });
    EXPECT_EQ(download("1", "4").end, RangeEnd::reached_end);
    EXPECT_EQ(testing::file_contents(output_), blocks(0, 3));
    EXPECT_EQ(requests_["/123/2.html"], 3);
}

TEST_F(OverTheWire, TooManyRequestsWaitsAsLongAsTheSiteSays) {
    serve([](const std::string& path, int request) {
        if (path != "/123/3.html" || request > 1) return fixture::SiteAnswer{};
        return fixture::SiteAnswer{
            .status = 429, .body = "slow down", .headers = {{"Retry-After", "1"}}};
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(download("1", "4").end, RangeEnd::reached_end);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(testing::file_contents(output_), blocks(0, 3));
}

TEST_F(OverTheWire, AnOutageStopsTheRunWhichContinuesToTheExactFileOnceItIsOver) {
    std::atomic<bool> down = true;
    serve([&down](const std::string& path, int) {
        if (!down || path != "/123/3.html") return fixture::SiteAnswer{};
        return fixture::SiteAnswer{.status = 503, .body = "unavailable"};
    });
    const RangeResult failed = download("1", "4");
    EXPECT_EQ(failed.end, RangeEnd::fetch_failed);
    EXPECT_NE(failed.fetch_reason.find("503"), std::string::npos);
    EXPECT_EQ(requests_["/123/3.html"], 6) << "one request and five retries";
    EXPECT_EQ(testing::file_contents(output_), blocks(0, 1));

    down = false;
    SerialPages pages;
    const RangeResult continued =
        continue_range(pages, {.output_path = output_.string(), .retry = kQuickRetries}, {}, {});
    EXPECT_EQ(continued.end, RangeEnd::reached_end);
    EXPECT_EQ(testing::file_contents(output_), blocks(0, 3));
}

TEST_F(OverTheWire, AnErrorPageAnsweredWithOkIsNeverWritten) {
    serve([](const std::string& path, int) {
        if (path != "/123/2.html") return fixture::SiteAnswer{};
        return fixture::SiteAnswer{.status = 200, .body = "<html>busy, try later</html>"};
    });
    const RangeResult result = download("1", "4");
    EXPECT_EQ(result.end, RangeEnd::fetch_failed);
    EXPECT_EQ(result.failed_link, std::string(SITE_ORIGIN) + "/123/2.html");
    EXPECT_EQ(testing::file_contents(output_), blocks(0, 0));
}

}  // namespace
}  // namespace novel
