// The download window against the fixture site at the site's real address
// (the test runs in a private network namespace), offscreen, with the
// information boxes recorded instead of shown.

#include "app/download_window.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/content_box.h"
#include "app/download_controller.h"
#include "app/program_windows.h"
#include "app/reader_window.h"
#include "chapter/site.h"
#include "platform/files.h"
#include "tests/app/window_test_support.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"
#include "tests/support/temp_folder.h"

using namespace novel;
using namespace novel::testing;
using namespace std::string_literals;
using namespace std::string_view_literals;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const QString kStart = utf8("开始下载，请耐心等待");
const QString kDone = utf8("下载完毕，请到同目录查看");

std::string site(std::string_view path) { return std::string(SITE_ORIGIN) + std::string(path); }

// The reader and download windows with the real chapter fetch.
class DownloadWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
        ProgramSeams seams = recorded.seams();
        seams.fetch_chapter = real_seams().fetch_chapter;
        windows = std::make_unique<ProgramWindows>(std::move(seams));
        windows->open_reader_window();
    }

    // Opens the download window as the reader's "下载" does.
    DownloadWindow* open_download() {
        QTest::mouseClick(windows->reader_window()->download_button, Qt::LeftButton);
        return windows->download_window();
    }

    RecordingSeams recorded;
    std::unique_ptr<ProgramWindows> windows;
};

TEST_F(DownloadWindowTest, TakesTheNumbersWhenTheWindowIsCreatedAndFillsThemOnClick) {
    QLineEdit* link_box = windows->reader_window()->link_box;
    link_box->setText(QString::fromStdString(site("/88/99.html")));
    DownloadWindow* download = open_download();
    ASSERT_NE(download, nullptr);
    download->end_chapter_box->setText(QStringLiteral("7"));

    link_box->setText(QString::fromStdString(site("/11/22.html")));
    QTest::mouseClick(download->current_position_button, Qt::LeftButton);
    EXPECT_EQ(download->book_number_box->text(), QStringLiteral("88"));
    EXPECT_EQ(download->start_chapter_box->text(), QStringLiteral("99"));
    EXPECT_EQ(download->end_chapter_box->text(), QStringLiteral("7"));

    // Created again: the new link counts.
    download->close();
    ASSERT_TRUE(wait_until([&] { return windows->download_window() == nullptr; }));
    link_box->setText(QString::fromStdString(site("/5_6/78.html?x")));
    download = open_download();
    QTest::mouseClick(download->current_position_button, Qt::LeftButton);
    EXPECT_EQ(download->book_number_box->text(), QStringLiteral("5_6"));
    EXPECT_EQ(download->start_chapter_box->text(), QStringLiteral("78"));
    EXPECT_EQ(recorded.messages.size(), 1u);  // the start-up notice alone
}

class DownloadRangeTest : public DownloadWindowTest {
protected:
    void SetUp() override {
        DownloadWindowTest::SetUp();
        if (HasFatalFailure()) return;
        download_ = open_download();
        ASSERT_NE(download_, nullptr);
        // One page at a time, so that the site sees exactly the chain's requests.
        download_->fetch_ahead_box->setValue(1);
        recorded.messages.clear();
        const ProgramDirectory directory = program_directory();
        ASSERT_TRUE(directory.ok) << directory.reason;
        output_ = fs::path(directory.path) / "文本.txt";
        remove_output();
    }
    void TearDown() override {
        windows.reset();
        server_.reset();
        remove_output();
    }
    void remove_output() {
        for (const char* suffix : {"", ".progress", ".progress.links"}) {
            fs::remove_all(output_.string() + suffix);
        }
    }

    void set_range(std::string_view book, std::string_view start, std::string_view end) {
        download_->book_number_box->setText(QString::fromStdString(std::string(book)));
        download_->start_chapter_box->setText(QString::fromStdString(std::string(start)));
        download_->end_chapter_box->setText(QString::fromStdString(std::string(end)));
    }
    // Clicks "开始下载" and waits for the final box.
    void download_range() {
        const std::size_t shown = recorded.messages.size();
        QTest::mouseClick(download_->start_button, Qt::LeftButton);
        ASSERT_TRUE(wait_until([&] { return recorded.messages.size() == shown + 2; }, 30000));
    }

    // Serves the pages at the site's address, each after delay; every
    // request first notes what the output file holds at that moment.
    void serve(const fixture::SitePages& pages, std::chrono::milliseconds delay = {}) {
        server_ = std::make_unique<fixture::FixtureSiteServer>(
            pages,
            fixture::SiteServerOptions{
                .port = 443,
                .on_request =
                    [this](const std::string&) {
                        const std::lock_guard lock(mutex_);
                        file_at_request_.push_back(file_contents(output_));
                    },
                .answer =
                    [delay](const std::string&) { return fixture::SiteAnswer{.delay = delay}; }});
        ASSERT_TRUE(server_->listening());
    }
    void serve_book(const fixture::BookSpec& shape, std::chrono::milliseconds delay = {}) {
        book_ = fixture::generate_book(shape);
        serve(fixture::as_site(book_), delay);
    }

    [[nodiscard]] std::string block(std::size_t page) const {
        return "\r\n" + book_.at(page).clean_text;
    }
    [[nodiscard]] std::vector<std::string> requests() const { return server_->requested_targets(); }

    DownloadWindow* download_ = nullptr;
    fs::path output_;
    std::vector<fixture::FixturePage> book_;
    std::unique_ptr<fixture::FixtureSiteServer> server_;
    std::mutex mutex_;
    std::vector<std::string> file_at_request_;
};

TEST_F(DownloadRangeTest, FetchesFromStartToEndInOrderAndKeepsTheFileCurrent) {
    serve_book({.book = "123", .chapter_count = 3});
    ASSERT_TRUE(write_file(output_.string(), "old text of an earlier run"sv).ok);
    set_range("123", "1", "3");
    download_range();

    EXPECT_EQ(requests(), (std::vector<std::string>{"/123/1.html", "/123/2.html", "/123/3.html"}));
    const std::string expected = block(0) + block(1) + block(2);
    EXPECT_EQ(file_contents(output_), expected);
    // Emptied once the first page is here; every page on disk before the next one.
    EXPECT_EQ(file_at_request_, (std::vector<std::string>{"old text of an earlier run", block(0),
                                                          block(0) + block(1)}));
    EXPECT_EQ(recorded.messages, (std::vector<QString>{kStart, kDone}));
    EXPECT_TRUE(expected.starts_with("\r\n\r\n"));
}

TEST_F(DownloadRangeTest, StartEqualToEndFetchesOnePage) {
    serve_book({.book = "123", .chapter_count = 3});
    set_range("123", "2", "2");
    download_range();
    EXPECT_EQ(requests(), std::vector<std::string>{"/123/2.html"});
    EXPECT_EQ(file_contents(output_), block(1));
    EXPECT_EQ(recorded.messages.back(), kDone);
}

TEST_F(DownloadRangeTest, EmptyBoxesFetchTheOneAddressTheyMake) {
    serve_book({.book = "123", .chapter_count = 3});
    set_range("", "", "");
    download_range();
    EXPECT_EQ(requests(), std::vector<std::string>{"//.html"});
    // Not on the site: nothing is written for it.
    EXPECT_EQ(file_contents(output_), ""sv);
    EXPECT_TRUE(
        recorded.messages.back().startsWith(kDone + utf8("\r\n第1页获取失败：HTTP 状态 404")));
}

TEST_F(DownloadRangeTest, ASecondPageOfAChapterIsABlockOfItsOwn) {
    serve_book({.book = "123", .chapter_count = 3, .two_page_chapters = {1}});
    ASSERT_EQ(book_.at(1).path, "/123/1_2.html");
    set_range("123", "1", "2");
    download_range();
    EXPECT_EQ(requests(),
              (std::vector<std::string>{"/123/1.html", "/123/1_2.html", "/123/2.html"}));
    EXPECT_EQ(file_contents(output_), block(0) + block(1) + block(2));
}

TEST_F(DownloadRangeTest, ARunPastTheBooksEndStopsAtTheMissingPageAndSaysSo) {
    serve_book({.book = "123", .chapter_count = 3});
    for (const auto& [start, end] : {std::pair{"2", "9"}, std::pair{"2", "1"}}) {
        recorded.messages.clear();
        server_->clear_requests();
        set_range("123", start, end);
        download_range();
        // Chapter 4 is not on the site: the run stops there with the pages before.
        EXPECT_EQ(requests(),
                  (std::vector<std::string>{"/123/2.html", "/123/3.html", "/123/4.html"}));
        EXPECT_EQ(file_contents(output_), block(1) + block(2));
        ASSERT_EQ(recorded.messages.size(), 2u);
        EXPECT_TRUE(recorded.messages[1].startsWith(
            kDone + utf8("\r\n第3页获取失败：HTTP 状态 404（https://www.qubige.com/123/4.html）")))
            << recorded.messages[1].toStdString();
    }
}

TEST_F(DownloadRangeTest, AnOutputFileThatCannotBeWrittenIsReportedNotAnnounced) {
    serve_book({.book = "123", .chapter_count = 3});
    fs::create_directory(output_);
    set_range("123", "1", "3");
    download_range();

    EXPECT_TRUE(requests().empty());
    ASSERT_EQ(recorded.messages.size(), 2u);
    EXPECT_EQ(recorded.messages[1].toStdString(),
              "无法写入文件：" + output_.string() + "\r\n原因：Is a directory");
}

// In this test's private mount namespace the program's directory can be made
// read-only for real, which a directory's mode bits cannot do for root.
// In this test's private mount namespace the program's folder can be made
// read-only for real, as an installed program's is; mode bits cannot do that
// for root.
TEST_F(DownloadRangeTest, AReadOnlyProgramFolderSendsTheFileToTheDownloadFolder) {
    serve_book({.book = "123", .chapter_count = 3});
    EXPECT_EQ(download_->storage_note->text(), utf8("默认同目录保存（文本.txt）"));
    download_->close();
    ASSERT_TRUE(wait_until([&] { return windows->download_window() == nullptr; }));

    QTemporaryDir home;
    const fs::path downloads = fs::path(home.path().toStdString()) / "Downloads";
    fs::create_directory(downloads);
    const QByteArray old_home = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    const std::string directory = output_.parent_path().string();
    ASSERT_EQ(::mount(directory.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr), 0);
    const bool read_only = ::mount(nullptr, directory.c_str(), nullptr,
                                   MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (read_only) {
        download_ = open_download();
        set_range("123", "1", "3");
        download_range();
    }
    ASSERT_EQ(::umount(directory.c_str()), 0);
    qputenv("HOME", old_home);
    ASSERT_TRUE(read_only) << "cannot make the program directory read-only";

    const fs::path moved = downloads / "文本.txt";
    EXPECT_EQ(file_contents(moved), block(0) + block(1) + block(2));
    EXPECT_FALSE(fs::exists(output_));
    EXPECT_EQ(download_->storage_note->text(), utf8("保存到 ~/Downloads（文本.txt）"));
    ASSERT_EQ(recorded.messages.size(), 2u);
    EXPECT_EQ(recorded.messages[1],
              kDone + utf8("\r\n文件在：") + QString::fromStdString(moved.string()));
}

TEST_F(DownloadRangeTest, BothWindowsAnswerDuringARunWhichStopsAtOnceAndContinuesLater) {
    serve_book({.book = "123", .chapter_count = 8}, 300ms);
    set_range("123", "1", "8");
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return file_contents(output_).size() >= block(0).size(); }));
    EXPECT_EQ(download_->start_button->text(), utf8("停止下载"));
    EXPECT_TRUE(download_->progress_label->text().startsWith(utf8("已写入 ")))
        << download_->progress_label->text().toStdString();

    // The reader reads another chapter meanwhile.
    ReaderWindow* reader = windows->reader_window();
    reader->link_box->setText(QString::fromStdString(site("/123/5.html")));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !reader->content_box->chapter_text().isEmpty(); }));
    EXPECT_TRUE(windows->download()->running());

    // Stopped in the middle of a page's request.
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->download()->running(); }, 1000));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_EQ(recorded.messages.size(), 2u) << recorded.messages.back().toStdString();
    EXPECT_TRUE(recorded.messages[1].contains(utf8("下载已被用户停止")));
    EXPECT_EQ(download_->start_button->text(), utf8("开始下载"));
    EXPECT_TRUE(download_->continue_button->isVisible());
    const std::string kept = file_contents(output_);
    EXPECT_TRUE((block(0) + block(1) + block(2)).starts_with(kept));

    // Continued, it ends with the file an uninterrupted run writes.
    QTest::mouseClick(download_->continue_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return recorded.messages.size() == 3; }, 30000));
    EXPECT_EQ(recorded.messages[2], kDone);
    std::string whole;
    for (std::size_t page = 0; page < book_.size(); ++page) whole += block(page);
    EXPECT_EQ(file_contents(output_), whole);
    EXPECT_FALSE(download_->continue_button->isVisible());
}

}  // namespace

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
