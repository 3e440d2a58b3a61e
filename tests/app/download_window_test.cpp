// The download window's handlers against the fixture site at the site's real
// address (the test runs in a private network namespace), with the windows
// replaced by a fake that records the information boxes.

#include "app/download_handlers.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/window_operations.h"
#include "chapter/program_state.h"
#include "chapter/site.h"
#include "platform/files.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

using namespace novel;
using namespace std::string_literals;
using namespace std::string_view_literals;
namespace fs = std::filesystem;

namespace {

constexpr auto kStart =
    "\xbf\xaa\xca\xbc\xcf\xc2\xd4\xd8\xa3\xac\xc7\xeb\xc4\xcd\xd0\xc4\xb5\xc8\xb4\xfd"sv;
constexpr auto kDone =
    "\xcf\xc2\xd4\xd8\xcd\xea\xb1\xcf\xa3\xac\xc7\xeb\xb5\xbd\xcd\xac\xc4\xbf\xc2\xbc\xb2\xe9\xbf\xb4"sv;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class FakeWindows : public WindowOperations {
public:
    [[nodiscard]] std::string read_text(Window window, std::string_view control) const override {
        if (window == Window::download && !watched_file.empty()) {
            download_reads.push_back({std::string(control), boxes.size(), contents(watched_file)});
        }
        const auto found = texts.find({window, std::string(control)});
        return found == texts.end() ? std::string() : found->second;
    }
    void write_text(Window window, std::string_view control, std::string_view text) override {
        texts[{window, std::string(control)}] = text;
    }
    void write_text_colour(Window, std::string_view, RgbColour) override {}
    [[nodiscard]] int window_width(Window) const override { return 0; }
    [[nodiscard]] int window_height(Window) const override { return 0; }
    [[nodiscard]] int control_left(Window, std::string_view) const override { return 0; }
    [[nodiscard]] int control_top(Window, std::string_view) const override { return 0; }
    void set_control_left(Window, std::string_view, int) override {}
    void set_control_top(Window, std::string_view, int) override {}
    void set_control_width(Window, std::string_view, int) override {}
    void set_control_height(Window, std::string_view, int) override {}
    void open_window(Window, bool) override {}
    void message_box(std::string_view text) override { boxes.emplace_back(text); }

    void set_range(std::string_view book, std::string_view start, std::string_view end) {
        write_text(Window::download, "编辑框1", book);
        write_text(Window::download, "编辑框2", start);
        write_text(Window::download, "编辑框3", end);
    }

    std::map<std::pair<Window, std::string>, std::string> texts;
    std::vector<std::string> boxes;

    // Each read of a download window box: which box, how many information
    // boxes had been shown and what watched_file held at that moment.
    struct BoxRead {
        std::string control;
        std::size_t boxes_shown;
        std::string file;
        bool operator==(const BoxRead&) const = default;
    };
    std::filesystem::path watched_file;
    mutable std::vector<BoxRead> download_reads;
};

class GlobalState : public testing::Environment {
public:
    void SetUp() override { create_globals(); }
    void TearDown() override { release_globals(); }
};
const testing::Environment* const global_state = testing::AddGlobalTestEnvironment(new GlobalState);

std::string site(std::string_view path) { return std::string(SITE_ORIGIN) + std::string(path); }

TEST(CurrentIndex, TakesTheNumbersWhenTheWindowIsCreatedAndFillsThemOnClick) {
    FakeWindows windows;
    windows.write_text(Window::reader, "编辑框2", site("/88/99.html"));
    windows.write_text(Window::download, "编辑框3", "7");
    take_current_index(windows);

    windows.write_text(Window::reader, "编辑框2", site("/11/22.html"));
    fill_current_index(windows);
    EXPECT_EQ(windows.read_text(Window::download, "编辑框1"), "88");
    EXPECT_EQ(windows.read_text(Window::download, "编辑框2"), "99");
    EXPECT_EQ(windows.read_text(Window::download, "编辑框3"), "7");
    EXPECT_EQ(windows.read_text(Window::reader, "编辑框2"), site("/11/22.html"));

    // Created again: the new link counts.
    windows.write_text(Window::reader, "编辑框2", site("/5_6/78.html?x"));
    take_current_index(windows);
    fill_current_index(windows);
    EXPECT_EQ(windows.read_text(Window::download, "编辑框1"), "5_6");
    EXPECT_EQ(windows.read_text(Window::download, "编辑框2"), "78");
    EXPECT_TRUE(windows.boxes.empty());
}

class DownloadRangeTest : public testing::Test {
protected:
    void SetUp() override {
        const ProgramDirectory directory = program_directory();
        ASSERT_TRUE(directory.ok) << directory.reason;
        output_ = fs::path(directory.path) / "文本.txt";
        fs::remove_all(output_);
    }
    void TearDown() override {
        server_.reset();
        fs::remove_all(output_);
    }

    // Serves the pages at the site's address; every request first notes what
    // the output file holds at that moment.
    void serve(const fixture::SitePages& pages) {
        server_ = std::make_unique<fixture::FixtureSiteServer>(
            pages,
            fixture::SiteServerOptions{.port = 443, .on_request = [this](const std::string&) {
                                           const std::lock_guard lock(mutex_);
                                           file_at_request_.push_back(contents(output_));
                                       }});
        ASSERT_TRUE(server_->listening());
    }
    void serve_book(const fixture::BookSpec& shape) {
        book_ = fixture::generate_book(shape);
        serve(fixture::as_site(book_));
    }

    [[nodiscard]] std::string block(std::size_t page) const {
        return "\r\n" + book_.at(page).clean_text;
    }
    [[nodiscard]] std::vector<std::string> requests() const { return server_->requested_targets(); }

    fs::path output_;
    FakeWindows windows_;
    std::vector<fixture::FixturePage> book_;
    std::unique_ptr<fixture::FixtureSiteServer> server_;
    std::mutex mutex_;
    std::vector<std::string> file_at_request_;
};

TEST_F(DownloadRangeTest, FetchesFromStartToEndInOrderAndKeepsTheFileCurrent) {
    serve_book({.book = "123", .chapter_count = 3});
    ASSERT_TRUE(write_file(output_.string(), "old text of an earlier run"sv).ok);
    windows_.set_range("123", "1", "3");
    windows_.watched_file = output_;
    download_range(windows_);

    // The first box before anything else; the boxes read once the file is
    // empty, the book box once for each address.
    using Read = FakeWindows::BoxRead;
    EXPECT_EQ(windows_.download_reads,
              (std::vector<Read>{
                  {"编辑框1", 1, ""}, {"编辑框2", 1, ""}, {"编辑框1", 1, ""}, {"编辑框3", 1, ""}}));

    EXPECT_EQ(requests(), (std::vector<std::string>{"/123/1.html", "/123/2.html", "/123/3.html"}));
    const std::string expected = block(0) + block(1) + block(2);
    EXPECT_EQ(contents(output_), expected);
    // Emptied before the first fetch; every page on disk before the next one.
    EXPECT_EQ(file_at_request_, (std::vector<std::string>{"", block(0), block(0) + block(1)}));
    EXPECT_EQ(windows_.boxes, (std::vector<std::string>{std::string(kStart), std::string(kDone)}));
    EXPECT_EQ(globals().download_text, expected);
    EXPECT_EQ(globals().download_link, site("/123/3.html"));
    EXPECT_EQ(globals().download_end_link, site("/123/3.html"));
    EXPECT_TRUE(expected.starts_with("\r\n\r\n"));
}

TEST_F(DownloadRangeTest, StartEqualToEndFetchesOnePage) {
    serve_book({.book = "123", .chapter_count = 3});
    windows_.set_range("123", "2", "2");
    download_range(windows_);
    EXPECT_EQ(requests(), std::vector<std::string>{"/123/2.html"});
    EXPECT_EQ(contents(output_), block(1));
    EXPECT_EQ(windows_.boxes.back(), kDone);
}

TEST_F(DownloadRangeTest, EmptyBoxesFetchTheOneAddressTheyMake) {
    serve_book({.book = "123", .chapter_count = 3});
    windows_.set_range("", "", "");
    download_range(windows_);
    EXPECT_EQ(requests(), std::vector<std::string>{"//.html"});
    EXPECT_EQ(contents(output_), "\r\n"sv);
    EXPECT_EQ(windows_.boxes.back(), kDone);
}

TEST_F(DownloadRangeTest, ASecondPageOfAChapterIsABlockOfItsOwn) {
    serve_book({.book = "123", .chapter_count = 3, .two_page_chapters = {1}});
    ASSERT_EQ(book_.at(1).path, "/123/1_2.html");
    windows_.set_range("123", "1", "2");
    download_range(windows_);
    EXPECT_EQ(requests(),
              (std::vector<std::string>{"/123/1.html", "/123/1_2.html", "/123/2.html"}));
    EXPECT_EQ(contents(output_), block(0) + block(1) + block(2));
}

TEST_F(DownloadRangeTest, ABrokenChainEndsWithEveryPageKeptAndSaysSo) {
    serve_book({.book = "123", .chapter_count = 3});
    for (const auto& [start, end] : {std::pair{"2", "9"}, std::pair{"2", "1"}}) {
        windows_.boxes.clear();
        server_->clear_requests();
        windows_.set_range("123", start, end);
        download_range(windows_);
        // Chapter 4 is not on the site: its fetch names no next page.
        EXPECT_EQ(requests(),
                  (std::vector<std::string>{"/123/2.html", "/123/3.html", "/123/4.html"}));
        EXPECT_EQ(contents(output_), block(1) + block(2) + "\r\n");
        ASSERT_EQ(windows_.boxes.size(), 2u);
        EXPECT_TRUE(windows_.boxes[1].starts_with(std::string(kDone) + "\r\n"));
        EXPECT_NE(windows_.boxes[1].find("\xb5\xda"
                                         "3\xd2\xb3"),
                  std::string::npos)
            << "the box names the three pages";
    }
}

TEST_F(DownloadRangeTest, AnOutputFileThatCannotBeWrittenIsReportedNotAnnounced) {
    serve_book({.book = "123", .chapter_count = 3});
    fs::create_directory(output_);
    windows_.set_range("123", "1", "3");
    download_range(windows_);

    EXPECT_TRUE(requests().empty());
    ASSERT_EQ(windows_.boxes.size(), 2u);
    const std::string gbk_path = output_.parent_path().string() + "/\xce\xc4\xb1\xbe.txt";
    EXPECT_EQ(windows_.boxes[1], "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe\xa3\xba" +
                                     gbk_path + "\r\n\xd4\xad\xd2\xf2\xa3\xba" + "Is a directory");
}

// In this test's private mount namespace the program's directory can be made
// read-only for real, which a directory's mode bits cannot do for root.
TEST_F(DownloadRangeTest, AReadOnlyProgramDirectoryIsReportedNotAnnounced) {
    serve_book({.book = "123", .chapter_count = 3});
    ASSERT_TRUE(write_file(output_.string(), "old text of an earlier run"sv).ok);
    const std::string directory = output_.parent_path().string();
    if (::mount(directory.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "cannot bind-mount the program directory";
    }
    const bool read_only = ::mount(nullptr, directory.c_str(), nullptr,
                                   MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (read_only) {
        windows_.set_range("123", "1", "3");
        download_range(windows_);
    }
    ASSERT_EQ(::umount(directory.c_str()), 0);
    ASSERT_TRUE(read_only) << "cannot make the program directory read-only";

    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(contents(output_), "old text of an earlier run"sv);
    ASSERT_EQ(windows_.boxes.size(), 2u);
    EXPECT_EQ(windows_.boxes[1], "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe\xa3\xba" +
                                     directory + "/\xce\xc4\xb1\xbe.txt" +
                                     "\r\n\xd4\xad\xd2\xf2\xa3\xba" + "Read-only file system");
}

}  // namespace
