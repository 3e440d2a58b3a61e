// The entry points as the program runs them: real site addresses over HTTPS,
// answered by the fixture site on 127.0.0.1:443 inside a private namespace.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "chapter/chapter_extraction.h"
#include "chapter/program_state.h"
#include "chapter/site.h"
#include "tests/support/fixture_site.h"
#include "tests/support/recording_working_text.h"
#include "tests/support/site_server.h"

namespace novel {
namespace {
using fixture::RecordingWorkingText;
using Targets = std::vector<std::string>;

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
        create_globals();
        globals().reader_content_box = &content_box_;
    }
    void TearDown() override { release_globals(); }

    const std::vector<fixture::FixturePage> pages_ = fixture::fixture_pages();
    RecordingWorkingText content_box_;
};

TEST_F(AtTheSiteAddress, WorkedExampleThroughBothEntryPoints) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());
    const std::string expected = fixture::worked_example_text();
    ASSERT_EQ(expected.size(), 68u);

    show_chapter(site("/edge/example.html"));
    EXPECT_EQ(content_box_.text(), expected);
    EXPECT_EQ(globals().next_chapter_link, site("/edge/example_2.html"));

    EXPECT_EQ(chapter_text(site("/edge/example.html")), expected);
    EXPECT_EQ(globals().download_next_link, site("/edge/example_2.html"));

    EXPECT_EQ(server.requested_targets(), (Targets{"/edge/example.html", "/edge/example.html"}));
}

TEST_F(AtTheSiteAddress, ReaderFollowsTheNextLinkThroughASecondPageIntoTheNextChapter) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());

    show_chapter(site("/123/1.html"));
    EXPECT_EQ(content_box_.text(), page_at(pages_, "/123/1.html").clean_text);
    for (std::string_view path : {"/123/2.html", "/123/2_2.html", "/123/3.html"}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(globals().next_chapter_link, site(path));
        show_chapter(globals().next_chapter_link);
        EXPECT_EQ(content_box_.text(), page_at(pages_, path).clean_text);
    }
    EXPECT_EQ(globals().next_chapter_link, site("/123/4.html"));
    EXPECT_EQ(server.requested_targets(),
              (Targets{"/123/1.html", "/123/2.html", "/123/2_2.html", "/123/3.html"}));
}

TEST_F(AtTheSiteAddress, DownloadWalksTheChainWithoutTouchingTheReader) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());

    show_chapter(site("/123/1.html"));
    std::string link = site("/1_1234/5678.html");
    std::vector<std::string> texts;
    for (int i = 0; i < 3; ++i) {
        texts.push_back(chapter_text(link));
        link = globals().download_next_link;
    }
    EXPECT_EQ(link, site("/1_1234/5680.html"));
    EXPECT_EQ(texts, (std::vector<std::string>{page_at(pages_, "/1_1234/5678.html").clean_text,
                                               page_at(pages_, "/1_1234/5678_2.html").clean_text,
                                               page_at(pages_, "/1_1234/5679.html").clean_text}));
    EXPECT_EQ(globals().next_chapter_link, site("/123/2.html"));
    EXPECT_EQ(content_box_.text(), page_at(pages_, "/123/1.html").clean_text);
    EXPECT_EQ(server.requested_targets(), (Targets{"/123/1.html", "/1_1234/5678.html",
                                                   "/1_1234/5678_2.html", "/1_1234/5679.html"}));
}

TEST_F(AtTheSiteAddress, RefusedConnectionGivesEmptyTextAndTheOriginAlone) {
    {
        fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
        ASSERT_TRUE(server.listening());
        show_chapter(site("/123/1.html"));
        ASSERT_FALSE(content_box_.text().empty());
    }
    // Nothing listens on the site's port any more.
    show_chapter(globals().next_chapter_link);
    EXPECT_EQ(content_box_.text(), "");
    EXPECT_EQ(globals().next_chapter_link, SITE_ORIGIN);
    EXPECT_EQ(chapter_text(site("/123/1.html")), "");
    EXPECT_EQ(globals().download_next_link, SITE_ORIGIN);
}

TEST_F(AtTheSiteAddress, RuleBreakingPagesOverTheWire) {
    fixture::FixtureSiteServer server(fixture::as_site(pages_), {.port = 443});
    ASSERT_TRUE(server.listening());
    for (std::string_view path :
         {"/edge/no_title.html", "/edge/no_content.html", "/edge/23_links.html",
          "/edge/nested_div.html", "/edge/nul.html"}) {
        SCOPED_TRACE(path);
        const fixture::FixturePage& page = page_at(pages_, path);
        EXPECT_EQ(chapter_text(site(path)), page.clean_text);
        EXPECT_EQ(globals().download_next_link, site(page.next_path));
    }
    const std::string nul_text = page_at(pages_, "/edge/nul.html").clean_text;
    EXPECT_NE(nul_text.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace novel
