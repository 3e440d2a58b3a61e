// The reader on the library, offscreen: the last chapter read is there at
// start-up, paging on through kept pages needs no network, a failed reading
// keeps the page, the newest chapter is told as such, and a library that
// cannot be used never stops reading.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <map>
#include <memory>
#include <mutex>

#include "app/content_box.h"
#include "app/program_windows.h"
#include "app/reader_controller.h"
#include "app/reader_window.h"
#include "chapter/chapter_extraction.h"
#include "library/library.h"
#include "tests/app/window_test_support.h"
#include "tests/support/fixture_site.h"

namespace novel::testing {
namespace {

std::string address(int chapter) {
    return "https://www.qubige.com/7/" + std::to_string(chapter) + ".html";
}

std::string page_of(int chapter, std::string_view body = "第一段正文，足够长的一段文字。") {
    return fixture::chapter_page({
        .title = fixture::gbk("第" + std::to_string(chapter) + "章"),
        .content = fixture::site_content({fixture::plain_paragraph(fixture::gbk(body))}),
        .next_path = "/7/" + std::to_string(chapter + 1) + ".html",
        .book_name = fixture::gbk("山海书"),
        .author = fixture::gbk("某人"),
    });
}

// The site as the fake fetch sees it: pages by address, anything else 404.
class FakeSite {
public:
    void put(const std::string& link, std::string page) {
        const std::lock_guard lock(mutex_);
        pages_[link] = std::move(page);
    }
    void fail(const std::string& link, TransportError error) {
        const std::lock_guard lock(mutex_);
        failures_[link] = error;
    }
    void heal(const std::string& link) {
        const std::lock_guard lock(mutex_);
        failures_.erase(link);
    }
    FetchedChapter fetch(const std::string& link) {
        const std::lock_guard lock(mutex_);
        FetchedChapter fetched;
        if (const auto failure = failures_.find(link); failure != failures_.end()) {
            fetched.error = failure->second;
            return fetched;
        }
        const auto page = pages_.find(link);
        fetched.status = page == pages_.end() ? 404 : 200;
        fetched.page = page == pages_.end() ? "not found" : page->second;
        fetched.chapter = extract_chapter(fetched.page);
        return fetched;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    std::map<std::string, TransportError> failures_;
};

class ReaderOnLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        recorded.fetch = [this](const std::string& link, std::stop_token) {
            return site.fetch(link);
        };
        for (int chapter = 100; chapter <= 102; ++chapter)
            site.put(address(chapter), page_of(chapter));
    }
    void TearDown() override { windows.reset(); }

    void start() {
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        reader = windows->reader_window();
    }
    void restart() {
        reader->close();
        windows.reset();
        start();
    }
    void read(const std::string& link) {
        reader->link_box->setText(QString::fromStdString(link));
        reader->fetch_button->click();
        ASSERT_TRUE(done());
    }
    void page_next() {
        reader->next_page_button->click();
        ASSERT_TRUE(done());
    }
    [[nodiscard]] bool done() const {
        return wait_until([&] { return !windows->reader()->busy(); });
    }
    [[nodiscard]] QString shown() const { return reader->content_box->chapter_text(); }
    [[nodiscard]] QString state() const { return reader->state_line->currentMessage(); }

    FakeSite site;
    RecordingSeams recorded;
    std::unique_ptr<ProgramWindows> windows;
    ReaderWindow* reader = nullptr;
};

TEST_F(ReaderOnLibrary, StartUpShowsTheLastChapterReadWithoutTheNetwork) {
    start();
    read(address(100));
    page_next();
    ASSERT_TRUE(shown().contains(utf8("第101章")));

    restart();
    EXPECT_TRUE(shown().contains(utf8("第101章")));
    EXPECT_TRUE(shown().contains(utf8("第一段正文")));
    EXPECT_EQ(reader->link_box->text().toStdString(), address(101));
    EXPECT_TRUE(state().contains(utf8("第101章")));
    EXPECT_EQ(recorded.fetched_links().size(), 2U);
    // Paging on goes on from there.
    page_next();
    EXPECT_EQ(recorded.fetched_links().back(), address(102));
}

TEST_F(ReaderOnLibrary, PagingThroughKeptPagesNeedsNoNetwork) {
    start();
    read(address(100));
    page_next();
    page_next();
    ASSERT_EQ(recorded.fetched_links().size(), 3U);
    // Back to the start by its address, then on through the kept pages.
    read(address(100));
    ASSERT_EQ(recorded.fetched_links().size(), 4U);
    page_next();
    page_next();
    EXPECT_EQ(recorded.fetched_links().size(), 4U);
    EXPECT_TRUE(shown().contains(utf8("第102章")));
    EXPECT_EQ(reader->link_box->text().toStdString(), address(102));
    EXPECT_EQ(windows->reader()->next_chapter_link(), address(103));
}

TEST_F(ReaderOnLibrary, AFailedReadingKeepsThePageAndTriesTheSameNextPageAgain) {
    start();
    read(address(100));
    const QString before = shown();
    site.fail(address(101), TransportError::timed_out);
    page_next();
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(windows->reader()->next_chapter_link(), address(101));
    EXPECT_TRUE(state().contains(utf8("连接超时")));

    // The place saved is still the chapter shown.
    restart();
    EXPECT_EQ(shown(), before);
    site.heal(address(101));
    page_next();
    const std::vector<std::string> expected{address(100), address(101), address(101)};
    EXPECT_EQ(recorded.fetched_links(), expected);
    EXPECT_TRUE(shown().contains(utf8("第101章")));
}

TEST_F(ReaderOnLibrary, APageWithoutTheChapterIsNoChapter) {
    start();
    read(address(100));
    const QString before = shown();
    site.put(address(500), "<html>busy, come back later</html>");
    read(address(500));
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(state(), utf8("获取失败：页面中没有正文"));
    EXPECT_EQ(windows->reader()->next_chapter_link(), address(101));
    EXPECT_FALSE(windows->library()->page_at(address(500)).found);
}

TEST_F(ReaderOnLibrary, TheNewestChapterIsToldAndKept) {
    start();
    read(address(102));
    const QString before = shown();
    page_next();  // 103 answers 404
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(state(), utf8("已是最新章节"));
    site.put(address(103), "<html>no content block yet</html>");
    page_next();
    EXPECT_EQ(state(), utf8("已是最新章节"));
    EXPECT_EQ(windows->reader()->next_chapter_link(), address(103));
    // Once it is out, the same press reads it.
    site.put(address(103), page_of(103));
    page_next();
    EXPECT_TRUE(shown().contains(utf8("第103章")));
}

TEST_F(ReaderOnLibrary, RefreshReplacesTheKeptTextWhenItChanged) {
    start();
    read(address(100));
    site.put(address(100), page_of(100, "改过的正文，也是足够长的一段文字。"));
    reader->content_box->refresh_action->trigger();
    ASSERT_TRUE(done());
    EXPECT_TRUE(shown().contains(utf8("改过的正文")));
    const PageLookup kept = windows->library()->page_at(address(100));
    ASSERT_TRUE(kept.found);
    EXPECT_NE(kept.found->page.text.find(fixture::gbk("改过的正文")), std::string::npos);
    EXPECT_EQ(recorded.fetched_links().size(), 2U);
}

TEST_F(ReaderOnLibrary, ABrokenLibraryIsSetAsideOnceAndReadingGoesOn) {
    {
        QFile broken(QString::fromStdString(recorded.library_file()));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(8192, 'x'));
    }
    start();
    ASSERT_EQ(recorded.messages.size(), 2U);  // the start-up notice, then this
    EXPECT_TRUE(recorded.messages[1].contains(utf8("已损坏")));
    read(address(100));
    EXPECT_TRUE(shown().contains(utf8("第100章")));
    restart();
    EXPECT_EQ(recorded.messages.size(), 3U);  // only the notice this time
    EXPECT_TRUE(shown().contains(utf8("第100章")));
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
