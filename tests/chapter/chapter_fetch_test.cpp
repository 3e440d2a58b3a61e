// Fetching chapters as the program does: real site addresses over HTTPS,
// answered by the fixture site on 127.0.0.1:443 inside a private namespace.

#include "chapter/chapter_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "chapter/site.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

namespace novel {
namespace {
using Targets = std::vector<std::string>;
using namespace std::chrono_literals;

std::string site(std::string_view path) { return std::string(SITE_ORIGIN) + std::string(path); }

const fixture::FixturePage& page_at(const std::vector<fixture::FixturePage>& pages,
                                    std::string_view path) {
    for (const fixture::FixturePage& page : pages) {
        if (page.path == path) return page;
    }
    throw std::out_of_range(std::string(path));
}

class AtTheSiteAddress : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
    }

    const std::vector<fixture::FixturePage> pages_ = fixture::fixture_pages();
};

TEST_F(AtTheSiteAddress, FollowsTheNextLinkThroughASecondPageIntoTheNextChapter) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());

    std::string link = site("/123/1.html");
    for (std::string_view path : {"/123/1.html", "/123/2.html", "/123/2_2.html", "/123/3.html"}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(link, site(path));
        const FetchedChapter fetched = fetch_chapter(link);
        EXPECT_TRUE(fetched.succeeded());
        EXPECT_EQ(fetched.chapter.text, page_at(pages_, path).clean_text);
        link = fetched.chapter.next_link;
    }
    EXPECT_EQ(link, site("/123/4.html"));
    EXPECT_EQ(server.requested_targets(),
              (Targets{"/123/1.html", "/123/2.html", "/123/2_2.html", "/123/3.html"}));
}

TEST_F(AtTheSiteAddress, RuleBreakingPagesOverTheWire) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());
    for (std::string_view path :
         {"/edge/example.html", "/edge/no_title.html", "/edge/no_content.html",
          "/edge/23_links.html", "/edge/nested_div.html", "/edge/nul.html"}) {
        SCOPED_TRACE(path);
        const fixture::FixturePage& page = page_at(pages_, path);
        const FetchedChapter fetched = fetch_chapter(site(path));
        EXPECT_EQ(fetched.chapter.text, page.clean_text);
        EXPECT_EQ(fetched.chapter.next_link, site(page.next_path));
    }
}

TEST_F(AtTheSiteAddress, FailuresSayWhyAndGiveEmptyTextAndTheOriginAlone) {
    {
        // Nothing listens on the site's port.
        const FetchedChapter refused = fetch_chapter(site("/123/1.html"));
        EXPECT_FALSE(refused.succeeded());
        EXPECT_EQ(refused.error, TransportError::cannot_connect);
        EXPECT_EQ(refused.chapter.text, "");
        EXPECT_EQ(refused.chapter.next_link, SITE_ORIGIN);
        EXPECT_FALSE(describe_failure(refused.error, refused.status).empty());
    }
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());
    const FetchedChapter missing = fetch_chapter(site("/123/99.html"));
    EXPECT_EQ(missing.error, TransportError::none);
    EXPECT_EQ(missing.status, 404);
    EXPECT_FALSE(missing.succeeded());
    EXPECT_EQ(describe_failure(missing.error, missing.status), "HTTP \xD7\xB4\xCC\xAC 404");
}

TEST_F(AtTheSiteAddress, AStopAbandonsASlowPageAtOnce) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_),
                                      {.port = 443, .answer = [](const std::string&) {
                                           return fixture::SiteAnswer{.delay = 1500ms};
                                       }});
    ASSERT_TRUE(server.listening());
    std::stop_source stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const auto started = std::chrono::steady_clock::now();
    const FetchedChapter fetched = fetch_chapter(site("/123/1.html"), stop.get_token());
    const auto took = std::chrono::steady_clock::now() - started;
    stopper.join();
    EXPECT_EQ(fetched.error, TransportError::stopped);
    EXPECT_EQ(fetched.chapter.text, "");
    EXPECT_LT(took, 1s);
}

}  // namespace
}  // namespace novel
