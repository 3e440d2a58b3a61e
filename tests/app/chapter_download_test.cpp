#include "app/chapter_download.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "chapter/site.h"

using namespace novel;
using namespace std::string_literals;
using namespace std::string_view_literals;
namespace fs = std::filesystem;

namespace {

constexpr auto kDone =
    "\xcf\xc2\xd4\xd8\xcd\xea\xb1\xcf\xa3\xac\xc7\xeb\xb5\xbd\xcd\xac\xc4\xbf\xc2\xbc\xb2\xe9\xbf\xb4"sv;

std::string site(std::string_view path) { return std::string(SITE_ORIGIN) + std::string(path); }

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A site held in memory: each address has a text and a next link; an unknown
// address gives what a failed fetch gives.
class FakeSite {
public:
    void page(std::string_view path, std::string text, std::string_view next_path) {
        pages_[site(path)] = {std::move(text), site(next_path)};
    }
    FetchedPage fetch(std::string_view link) {
        fetched.emplace_back(link);
        const auto found = pages_.find(std::string(link));
        if (found == pages_.end()) return {"", std::string(SITE_ORIGIN)};
        return found->second;
    }
    std::vector<std::string> fetched;

private:
    std::map<std::string, FetchedPage> pages_;
};

class ChapterDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "chapter_download_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        output_ = dir_ / OUTPUT_FILE_NAME;
        site_.page("/123/1.html", "\r\nT1\r\nbody one", "/123/2.html");
        site_.page("/123/2.html", "\r\nT2\r\nbody two", "/123/3.html");
        site_.page("/123/3.html", "\r\nT3\r\nbody three", "/123/4.html");
    }
    void TearDown() override { fs::remove_all(dir_); }

    RangeDownloadResult run(std::string_view start, std::string_view end,
                            std::size_t limit = MAX_PAGES_PER_RUN) {
        return download_chapter_range(
            {.output_path = output_.string(),
             .links =
                 [&] {
                     file_when_links_asked_.push_back(contents(output_));
                     return RangeLinks{site(start), site(end)};
                 },
             .fetch_page = [this](std::string_view link) { return site_.fetch(link); },
             .after_page =
                 [this](std::size_t pages) {
                     file_after_page_.push_back(contents(output_));
                     EXPECT_EQ(pages, file_after_page_.size());
                 },
             .page_limit = limit});
    }

    fs::path dir_;
    fs::path output_;
    FakeSite site_;
    std::vector<std::string> file_after_page_;
    std::vector<std::string> file_when_links_asked_;
};

TEST_F(ChapterDownloadTest, WalksFromStartToEndAndKeepsTheFileCurrentAfterEveryPage) {
    ASSERT_TRUE(std::ofstream(output_) << "old content of an earlier run");
    const RangeDownloadResult result = run("/123/1.html", "/123/3.html");
    // The addresses are asked for once, after the old content is gone.
    EXPECT_EQ(file_when_links_asked_, std::vector<std::string>{""});

    EXPECT_EQ(result.end, RangeDownloadEnd::reached_end);
    EXPECT_EQ(result.pages, 3u);
    EXPECT_EQ(site_.fetched,
              (std::vector{site("/123/1.html"), site("/123/2.html"), site("/123/3.html")}));
    constexpr auto expected =
        "\r\n\r\nT1\r\nbody one\r\n\r\nT2\r\nbody two\r\n\r\nT3\r\nbody three"sv;
    EXPECT_EQ(contents(output_), expected);
    EXPECT_EQ(file_after_page_, (std::vector<std::string>{
                                    "\r\n\r\nT1\r\nbody one",
                                    "\r\n\r\nT1\r\nbody one\r\n\r\nT2\r\nbody two",
                                    std::string(expected),
                                }));
    EXPECT_EQ(final_message(result, output_.string()), kDone);
}

TEST_F(ChapterDownloadTest, StartEqualToEndFetchesOnePage) {
    const RangeDownloadResult result = run("/123/2.html", "/123/2.html");
    EXPECT_EQ(result.end, RangeDownloadEnd::reached_end);
    EXPECT_EQ(site_.fetched, std::vector{site("/123/2.html")});
    EXPECT_EQ(contents(output_), "\r\n\r\nT2\r\nbody two"sv);
}

TEST_F(ChapterDownloadTest, ASecondPageOfAChapterIsAppendedAsABlockOfItsOwn) {
    site_.page("/123/1.html", "\r\nT1\r\npart one", "/123/1_2.html");
    site_.page("/123/1_2.html", "\r\nT1\r\npart two", "/123/2.html");
    const RangeDownloadResult result = run("/123/1.html", "/123/2.html");
    EXPECT_EQ(result.end, RangeDownloadEnd::reached_end);
    EXPECT_EQ(contents(output_),
              "\r\n\r\nT1\r\npart one\r\n\r\nT1\r\npart two\r\n\r\nT2\r\nbody two"sv);
}

TEST_F(ChapterDownloadTest, AChainWithoutANextLinkStopsWithEveryPageKept) {
    // Page 4 is missing: its fetch fails and names no next page.
    const RangeDownloadResult result = run("/123/2.html", "/123/9.html");
    EXPECT_EQ(result.end, RangeDownloadEnd::no_next_link);
    EXPECT_EQ(result.pages, 3u);
    EXPECT_EQ(site_.fetched.back(), site("/123/4.html"));
    EXPECT_EQ(contents(output_), "\r\n\r\nT2\r\nbody two\r\n\r\nT3\r\nbody three\r\n"sv);
    EXPECT_EQ(
        final_message(result, output_.string()),
        std::string(kDone) +
            "\r\n\xcf\xc2\xd2\xbb\xd2\xb3\xc1\xb4\xbd\xd3\xd4\xda\xb5\xda"
            "3\xd2\xb3\xba\xf3\xd6\xd0\xb6\xcf\xa3\xa8"
            "\xb8\xc3\xd2\xb3\xc3\xbb\xd3\xd0\xcf\xc2\xd2\xbb\xd2\xb3\xc1\xb4\xbd\xd3"
            "\xa3\xa9\xa3\xac\xce\xb4\xb5\xbd\xb4\xef\xbd\xe1\xca\xf8\xd5\xc2\xbd\xda\xa1\xa3"s);
}

TEST_F(ChapterDownloadTest, AnEndChapterBeforeTheStartIsNeverReached) {
    const RangeDownloadResult result = run("/123/2.html", "/123/1.html");
    EXPECT_EQ(result.end, RangeDownloadEnd::no_next_link);
    EXPECT_EQ(site_.fetched.size(), 3u);
    EXPECT_NE(final_message(result, output_.string()), kDone);
}

TEST_F(ChapterDownloadTest, ALinkBackToAFetchedPageStopsTheRun) {
    site_.page("/123/3.html", "\r\nT3\r\nbody three", "/123/1.html");
    const RangeDownloadResult result = run("/123/1.html", "/123/7.html");
    EXPECT_EQ(result.end, RangeDownloadEnd::repeated_link);
    EXPECT_EQ(result.pages, 3u);
    EXPECT_EQ(site_.fetched.size(), 3u);
    EXPECT_EQ(contents(output_),
              "\r\n\r\nT1\r\nbody one\r\n\r\nT2\r\nbody two\r\n\r\nT3\r\nbody three"sv);
    const std::string message = final_message(result, output_.string());
    EXPECT_TRUE(message.starts_with(std::string(kDone) + "\r\n")) << message;
}

TEST_F(ChapterDownloadTest, AnEndlessChainStopsAtThePageLimit) {
    for (int i = 1; i <= 10; ++i) {
        site_.page("/7/" + std::to_string(i) + ".html", "p",
                   "/7/" + std::to_string(i + 1) + ".html");
    }
    const RangeDownloadResult result = run("/7/1.html", "/7/0.html", 5);
    EXPECT_EQ(result.end, RangeDownloadEnd::page_limit);
    EXPECT_EQ(result.pages, 5u);
    EXPECT_EQ(contents(output_), "\r\np\r\np\r\np\r\np\r\np"sv);

    // Reaching the end within the limit is a normal end.
    site_.fetched.clear();
    file_after_page_.clear();
    EXPECT_EQ(run("/7/1.html", "/7/5.html", 5).end, RangeDownloadEnd::reached_end);
}

TEST_F(ChapterDownloadTest, AnOutputFileThatCannotBeWrittenIsReportedAndNothingIsFetched) {
    output_ = dir_ / "missing" / OUTPUT_FILE_NAME;
    const RangeDownloadResult result = run("/123/1.html", "/123/3.html");
    EXPECT_EQ(result.end, RangeDownloadEnd::file_failed);
    EXPECT_EQ(result.failed_step, FileStep::empty);
    EXPECT_TRUE(site_.fetched.empty());
    EXPECT_TRUE(file_when_links_asked_.empty());

    const std::string message = final_message(result, output_.string());
    const std::string gbk_path = (dir_ / "missing").string() + "/\xce\xc4\xb1\xbe.txt";
    EXPECT_EQ(message, "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe\xa3\xba" + gbk_path +
                           "\r\n\xd4\xad\xd2\xf2\xa3\xba" + "No such file or directory");
}

TEST_F(ChapterDownloadTest, AFileLostDuringTheRunStopsItAndKeepsTheTextOfTheFile) {
    const RangeDownloadResult result = download_chapter_range(
        {.output_path = output_.string(),
         .links =
             [] {
                 return RangeLinks{site("/123/1.html"), site("/123/3.html")};
             },
         .fetch_page = [this](std::string_view link) { return site_.fetch(link); },
         .after_page = [this](std::size_t) { fs::remove(output_); }});
    EXPECT_EQ(result.end, RangeDownloadEnd::file_failed);
    EXPECT_EQ(result.failed_step, FileStep::append);
    EXPECT_EQ(result.pages, 1u);
    EXPECT_FALSE(fs::exists(output_));
    const std::string message = final_message(result, output_.string());
    EXPECT_EQ(message.find(kDone), std::string::npos);
    EXPECT_NE(message.find("No such file or directory"), std::string::npos);
}

TEST(ChapterAddress, PlacesTheNumbersAsTyped) {
    EXPECT_EQ(chapter_address("1_1234", "5678"), site("/1_1234/5678.html"));
    EXPECT_EQ(chapter_address("", ""), site("//.html"));
    EXPECT_EQ(chapter_address(" 12", "3 "), site("/ 12/3 .html"));
}

TEST(ChapterIndex, TakesBookAndChapterFromALink) {
    struct Case {
        std::string_view link;
        std::string_view book;
        std::string_view chapter;
    };
    const Case cases[] = {
        {"https://www.qubige.com/1_1234/5678.html", "1_1234", "5678"},
        {"https://www.qubige.com/88/99.html?x", "88", "99"},
        {"https://a.com/x.com/88/99.html", "88", "99"},
        {"https://www.qubige.com/88", "", ""},
        // The placeholder text of the link box holds no ".com/".
        {"\xd4\xda\xd5\xe2\xc0\xef\xd5\xb3\xcc\xf9\xd0\xa1\xcb\xb5\xc1\xb4\xbd\xd3", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const ChapterIndex index = chapter_index_of(c.link);
        EXPECT_EQ(index.book_number, c.book) << c.link;
        EXPECT_EQ(index.chapter_number, c.chapter) << c.link;
    }
}

TEST(DownloadMessages, AreTheProgramsGbkTexts) {
    EXPECT_EQ(start_message(),
              "\xbf\xaa\xca\xbc\xcf\xc2\xd4\xd8\xa3\xac\xc7\xeb\xc4\xcd\xd0\xc4\xb5\xc8\xb4\xfd"sv);
    // Bytes that are not UTF-8 in a path still give a readable message.
    const RangeDownloadResult failed{.end = RangeDownloadEnd::file_failed,
                                     .failed_step = FileStep::read_back,
                                     .file_reason = "Is a directory"};
    EXPECT_EQ(final_message(failed, "/a/\xff\xe6\x96\x87.txt"),
              "\xce\xde\xb7\xa8\xb6\xc1\xc8\xa1\xce\xc4\xbc\xfe\xa3\xba/a/?\xce\xc4.txt\r\n"
              "\xd4\xad\xd2\xf2\xa3\xbaIs a directory"sv);
}

// Every ending the user can be shown, in GBK bytes checked against iconv.
TEST(DownloadMessages, SayHowTheRunEnded) {
    const std::string broken =
        std::string(kDone) + "\r\n\xcf\xc2\xd2\xbb\xd2\xb3\xc1\xb4\xbd\xd3\xd4\xda\xb5\xda"s;
    const std::string after_pages = "\xd2\xb3\xba\xf3\xd6\xd0\xb6\xcf\xa3\xa8"s;
    const std::string not_reached =
        "\xa3\xa9\xa3\xac\xce\xb4\xb5\xbd\xb4\xef\xbd\xe1\xca\xf8\xd5\xc2\xbd\xda\xa1\xa3"s;
    const std::string cannot_write = "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe\xa3\xba"s;
    const std::string reason = "\r\n\xd4\xad\xd2\xf2\xa3\xba"s;
    const auto expect_message = [](const RangeDownloadResult& result, const std::string& expected) {
        EXPECT_EQ(final_message(result, "/d/文本.txt"), expected) << static_cast<int>(result.end);
    };
    expect_message({.end = RangeDownloadEnd::reached_end, .pages = 7}, std::string(kDone));
    expect_message(
        {.end = RangeDownloadEnd::repeated_link, .pages = 3},
        broken + "3" + after_pages +
            "\xcf\xc2\xd2\xbb\xd2\xb3\xc1\xb4\xbd\xd3\xd6\xb8\xcf\xf2\xb1\xbe\xb4\xce\xd2\xd1"
            "\xcf\xc2\xd4\xd8\xb5\xc4\xd2\xb3\xc3\xe6" +
            not_reached);
    expect_message({.end = RangeDownloadEnd::page_limit, .pages = MAX_PAGES_PER_RUN},
                   broken + "20000" + after_pages + "\xd2\xd1\xb4\xef\xb5\xbd\xc3\xbf\xb4\xce" +
                       "20000" + "\xd2\xb3\xb5\xc4\xc9\xcf\xcf\xde" + not_reached);
    // A failure after some pages names them: they are in the file.
    expect_message(
        {.end = RangeDownloadEnd::file_failed,
         .pages = 2,
         .failed_step = FileStep::append,
         .file_reason = "No space left on device"},
        cannot_write + "/d/\xce\xc4\xb1\xbe.txt" + reason + "No space left on device" +
            "\r\n\xce\xc4\xbc\xfe\xd6\xd0\xb1\xa3\xb4\xe6\xc1\xcb\xb4\xcb\xc7\xb0\xcf\xc2\xd4\xd8"
            "\xb5\xc4" +
            "2" + "\xd2\xb3\xa1\xa3");
    EXPECT_EQ(
        no_directory_message("No such file or directory"),
        "\xd5\xd2\xb2\xbb\xb5\xbd\xb3\xcc\xd0\xf2\xcb\xf9\xd4\xda\xb5\xc4\xc4\xbf\xc2\xbc\xa3\xac"
        "\xce\xde\xb7\xa8\xb1\xa3\xb4\xe6\xce\xc4\xbc\xfe\xa1\xa3\r\n"
        "\xd4\xad\xd2\xf2\xa3\xba"
        "No such file or directory"s);
}

}  // namespace
