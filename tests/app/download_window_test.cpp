// The download window against the fixture site at the site's real address
// (the test runs in a private network namespace), offscreen, with the
// information boxes recorded instead of shown.

#include "app/download_window.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/bookshelf_controller.h"
#include "app/bookshelf_window.h"
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
const QString kStopped = utf8("下载已停止");
const QString kUnfinished = utf8("下载未完成");

std::string utf8_from_gbk_bytes(const std::string& gbk) {
    return qstring_from_gbk(gbk).toUtf8().toStdString();
}

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

// Deliberately changed: the numbers are those of the reader's chapter at
// the moment of the click, not those of the window's creation.
TEST_F(DownloadWindowTest, TakesTheNumbersOfTheChapterShownAtTheClick) {
    QLineEdit* link_box = windows->reader_window()->link_box;
    link_box->setText(QString());
    DownloadWindow* download = open_download();
    ASSERT_NE(download, nullptr);
    download->end_chapter_box->setText(QStringLiteral("7"));

    // Nothing read yet: said so, the boxes left alone.
    recorded.messages.clear();
    QTest::mouseClick(download->current_position_button, Qt::LeftButton);
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_TRUE(recorded.messages[0].contains(utf8("取当前阅读序号")));
    EXPECT_EQ(download->end_chapter_box->text(), QStringLiteral("7"));

    // Read on after the window was opened: the chapter of now.
    link_box->setText(QString::fromStdString(site("/88/99.html")));
    QTest::mouseClick(download->current_position_button, Qt::LeftButton);
    link_box->setText(QString::fromStdString(site("/5_6/78.html?x")));
    QTest::mouseClick(download->current_position_button, Qt::LeftButton);
    EXPECT_EQ(download->book_number_box->text(), QStringLiteral("5_6"));
    EXPECT_EQ(download->start_chapter_box->text(), QStringLiteral("78"));
    EXPECT_EQ(download->end_chapter_box->text(), QStringLiteral("7"));
    EXPECT_EQ(recorded.messages.size(), 1u);
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
    // Clicks "开始下载" and waits for the final box; the start notice is a
    // line in the window, not a box.
    void download_range() {
        const std::size_t shown = recorded.messages.size();
        QTest::mouseClick(download_->start_button, Qt::LeftButton);
        ASSERT_TRUE(wait_until([&] { return recorded.messages.size() == shown + 1; }, 30000));
    }
    [[nodiscard]] QString where() const {
        return utf8("\r\n文件在：") + QString::fromStdString(output_.string());
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
    // The box names the file's full path; the start notice was a line.
    EXPECT_EQ(recorded.messages, (std::vector<QString>{kDone + where()}));
    // Earlier text of unknown origin was replaced only after asking.
    ASSERT_EQ(recorded.choice_questions.size(), 1u);
    EXPECT_TRUE(recorded.choice_questions[0].contains(utf8("覆盖")));
    EXPECT_TRUE(recorded.questions.empty());
    // Plain numbers: the bar ends full.
    EXPECT_EQ(download_->progress_bar->value(), download_->progress_bar->maximum());
    EXPECT_GT(download_->progress_bar->maximum(), 0);
    EXPECT_TRUE(expected.starts_with("\r\n\r\n"));
}

TEST_F(DownloadRangeTest, StartEqualToEndFetchesOnePage) {
    serve_book({.book = "123", .chapter_count = 3});
    set_range("123", "2", "2");
    download_range();
    EXPECT_EQ(requests(), std::vector<std::string>{"/123/2.html"});
    EXPECT_EQ(file_contents(output_), block(1));
    EXPECT_EQ(recorded.messages.back(), kDone + where());
}

// Deliberately changed: a failed run no longer says it is done.
TEST_F(DownloadRangeTest, EmptyBoxesAreNamedFirstAndThenFetchTheOneAddressTheyMake) {
    serve_book({.book = "123", .chapter_count = 3});
    set_range("", "", "");
    download_range();
    ASSERT_EQ(recorded.questions.size(), 1u);
    EXPECT_TRUE(recorded.questions[0].contains(utf8("书号为空")));
    EXPECT_TRUE(recorded.questions[0].contains(utf8("起始章节为空")));
    EXPECT_TRUE(
        recorded.questions[0].endsWith(utf8("结束章节为空：将一直下载到本书最新一章，继续吗？")));
    EXPECT_EQ(requests(), std::vector<std::string>{"//.html"});
    // Not on the site: nothing is written for it.
    EXPECT_EQ(file_contents(output_), ""sv);
    EXPECT_TRUE(recorded.messages.back().startsWith(kUnfinished +
                                                    utf8("\r\n第1页获取失败：HTTP 状态 404")));
}

TEST_F(DownloadRangeTest, DecliningTheQuestionAboutTheBoxesSendsNothing) {
    serve_book({.book = "123", .chapter_count = 3});
    recorded.answer = false;
    set_range("123", "3", "1");
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_EQ(recorded.questions.size(), 1u);
    EXPECT_TRUE(recorded.questions[0].startsWith(utf8("起始章节大于结束章节")));
    QTest::qWait(200);
    EXPECT_TRUE(requests().empty());
    EXPECT_FALSE(windows->download()->running());
    EXPECT_TRUE(recorded.messages.empty());
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

TEST_F(DownloadRangeTest, ARunPastTheBooksEndStopsAtTheMissingPageAndSaysWhy) {
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
        ASSERT_EQ(recorded.messages.size(), 1u);
        // A failed run: why, the pages kept, where, and that it can go on.
        EXPECT_EQ(recorded.messages[0],
                  kUnfinished +
                      utf8("\r\n第3页获取失败：HTTP 状态 404（https://www.qubige.com/123/4.html）"
                           "\r\n文件中有2页：") +
                      QString::fromStdString(output_.string()) +
                      utf8("\r\n打开下载窗口点击“继续下载”可从此处接着下载。"));
    }

    // Asked to go as far as the book goes, the run ends there truthfully.
    recorded.messages.clear();
    server_->clear_requests();
    set_range("123", "2", "");
    download_range();
    EXPECT_EQ(requests(), (std::vector<std::string>{"/123/2.html", "/123/3.html", "/123/4.html"}));
    EXPECT_EQ(file_contents(output_), block(1) + block(2));
    EXPECT_EQ(recorded.messages,
              (std::vector<QString>{
                  kDone + where() +
                  utf8("\r\n已下载到本书最新一章，共2页（其后一页网站上尚未发布）。")}));
    EXPECT_FALSE(fs::exists(output_.string() + ".progress"));
}

TEST_F(DownloadRangeTest, AnOutputFileThatCannotBeWrittenIsReportedNotAnnounced) {
    serve_book({.book = "123", .chapter_count = 3});
    fs::create_directory(output_);
    set_range("123", "1", "3");
    download_range();

    EXPECT_TRUE(requests().empty());
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_EQ(recorded.messages[0].toStdString(),
              "下载未完成\r\n无法写入文件：" + output_.string() + "\r\n原因：Is a directory" +
                  "\r\n文件中有0页：" + output_.string() + "\r\n不能继续下载，只能重新开始。");
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
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_EQ(recorded.messages[0],
              kDone + utf8("\r\n文件在：") + QString::fromStdString(moved.string()));
}

TEST_F(DownloadRangeTest, BothWindowsAnswerDuringARunWhichStopsAtOnceAndContinuesLater) {
    serve_book({.book = "123", .chapter_count = 8}, 300ms);
    set_range("123", "1", "8");
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    // The run has begun without a box to dismiss.
    EXPECT_EQ(download_->progress_label->text(), kStart);
    EXPECT_TRUE(recorded.messages.empty());
    ASSERT_TRUE(wait_until([&] { return file_contents(output_).size() >= block(0).size(); }));
    // Fetching chapter 2 of 1..8: one of eight done.
    ASSERT_TRUE(wait_until([&] { return download_->progress_bar->value() >= 1; }));
    EXPECT_EQ(download_->progress_bar->maximum(), 8);
    EXPECT_LT(download_->progress_bar->value(), 8);
    EXPECT_TRUE(download_->progress_bar->text().contains(QLatin1Char('%')));
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
    ASSERT_EQ(recorded.messages.size(), 1u) << recorded.messages.back().toStdString();
    const QString stopped = recorded.messages[0];
    EXPECT_TRUE(stopped.startsWith(kStopped + utf8("\r\n下载已被用户停止，此前已下载")));
    EXPECT_TRUE(stopped.contains(utf8("页：") + QString::fromStdString(output_.string())));
    EXPECT_TRUE(stopped.endsWith(utf8("打开下载窗口点击“继续下载”可从此处接着下载。")));
    EXPECT_EQ(download_->start_button->text(), utf8("开始下载"));
    EXPECT_TRUE(download_->continue_button->isVisible());
    const std::string kept = file_contents(output_);
    EXPECT_TRUE((block(0) + block(1) + block(2)).starts_with(kept));

    // Continued, it ends with the file an uninterrupted run writes.
    QTest::mouseClick(download_->continue_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return recorded.messages.size() == 2; }, 30000));
    EXPECT_EQ(recorded.messages[1], kDone + where());
    std::string whole;
    for (std::size_t page = 0; page < book_.size(); ++page) whole += block(page);
    EXPECT_EQ(file_contents(output_), whole);
    EXPECT_FALSE(download_->continue_button->isVisible());
}

TEST_F(DownloadRangeTest, AFinishedDownloadOfAnotherRangeIsNotReplacedWithoutAsking) {
    serve_book({.book = "123", .chapter_count = 4});
    set_range("123", "1", "2");
    recorded.choices = {0};
    download_range();
    const std::string first = file_contents(output_);
    ASSERT_EQ(first, block(0) + block(1));
    recorded.choice_questions.clear();

    // The same range again replaces it without a question: nothing is lost.
    download_range();
    EXPECT_TRUE(recorded.choice_questions.empty());

    // Another range: asked; 「取消」 sends nothing and keeps the file.
    server_->clear_requests();
    set_range("123", "3", "4");
    recorded.choices = {2};
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_EQ(recorded.choice_questions.size(), 1u);
    EXPECT_TRUE(recorded.choice_questions[0].contains(QString::fromStdString(output_.string())));
    QTest::qWait(200);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(file_contents(output_), first);

    // 「另存为…」: the file chosen, proposed under the book's name, and kept for the book.
    QTemporaryDir elsewhere;
    const fs::path chosen = fs::path(elsewhere.path().toStdString()) / "mine.txt";
    recorded.save_path = QString::fromStdString(chosen.string());
    recorded.choices = {1};
    download_range();
    ASSERT_EQ(recorded.proposed_paths.size(), 1u);
    EXPECT_TRUE(recorded.proposed_paths[0].endsWith(QStringLiteral(".txt")));
    EXPECT_EQ(file_contents(output_), first);
    EXPECT_EQ(file_contents(chosen), block(2) + block(3));
    EXPECT_EQ(recorded.messages.back(), kDone + utf8("\r\n文件在：") + recorded.save_path);
}

TEST_F(DownloadRangeTest, AnUnfinishedDownloadOfAnotherRangeIsNotReplacedWithoutAsking) {
    book_ = fixture::generate_book({.book = "123", .chapter_count = 4});
    fixture::SitePages site = fixture::as_site(book_);
    site.erase("/123/3.html");
    serve(site);
    set_range("123", "1", "4");
    download_range();
    ASSERT_TRUE(recorded.messages.back().startsWith(kUnfinished));
    const std::string unfinished = file_contents(output_);
    recorded.choice_questions.clear();

    // Another range: the question names the run that would be lost.
    server_->clear_requests();
    set_range("123", "2", "2");
    recorded.choices = {2};
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_EQ(recorded.choice_questions.size(), 1u);
    EXPECT_TRUE(recorded.choice_questions[0].contains(
        utf8("中有一次未完成的下载（书号123，从第1章到第4章，已下载2页）")))
        << recorded.choice_questions[0].toStdString();
    QTest::qWait(200);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(file_contents(output_), unfinished);
    EXPECT_TRUE(fs::exists(output_.string() + ".progress"));

    // The same range started afresh is what was asked for: no question.
    set_range("123", "1", "4");
    download_range();
    EXPECT_EQ(recorded.choice_questions.size(), 1u) << "asked again";
}

TEST_F(DownloadRangeTest, UTF8AndTheEpubAreWrittenWhenChosenAndRemembered) {
    serve_book({.book = "123", .chapter_count = 3});
    download_->encoding_box->setCurrentIndex(1);
    download_->epub_box->setChecked(true);
    set_range("123", "1", "3");
    download_range();
    EXPECT_EQ(file_contents(output_), utf8_from_gbk_bytes(block(0) + block(1) + block(2)));
    const QString& box = recorded.messages.back();
    ASSERT_TRUE(box.contains(utf8("\r\nEPUB 在："))) << box.toStdString();
    const QString epub = box.section(utf8("EPUB 在："), 1);
    EXPECT_TRUE(epub.endsWith(QStringLiteral(".epub")));
    EXPECT_TRUE(fs::file_size(epub.toStdString()) > 0);
    fs::remove(epub.toStdString());

    // Opened again, the window keeps both choices.
    download_->close();
    ASSERT_TRUE(wait_until([&] { return windows->download_window() == nullptr; }));
    download_ = open_download();
    EXPECT_EQ(download_->encoding_box->currentIndex(), 1);
    EXPECT_TRUE(download_->epub_box->isChecked());
}

TEST_F(DownloadRangeTest, ClosingDuringARunAsksAndCanLeaveItRunningInTheBackground) {
    serve_book({.book = "123", .chapter_count = 4}, 200ms);
    set_range("123", "1", "4");
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !file_contents(output_).empty(); }));

    recorded.choices = {2};  // 「取消」: nothing changes
    download_->close();
    ASSERT_EQ(recorded.choice_questions.size(), 1u);
    EXPECT_TRUE(download_->isVisible());
    EXPECT_TRUE(windows->download()->running());

    recorded.choices = {1};  // 「后台继续」
    download_->close();
    EXPECT_FALSE(download_->isVisible());
    const auto background_line = [&] {
        for (const QLabel* label : windows->reader_window()->state_line->findChildren<QLabel*>()) {
            if (label->isVisible() && label->text().startsWith(utf8("后台下载：已写入 ")))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(wait_until(background_line));
    ASSERT_TRUE(wait_until([&] { return recorded.messages.size() == 1; }, 30000));
    EXPECT_EQ(recorded.messages[0], kDone + where());
    EXPECT_EQ(file_contents(output_), block(0) + block(1) + block(2) + block(3));
    ASSERT_TRUE(wait_until([&] { return windows->download_window() == nullptr; }));
    EXPECT_FALSE(background_line());
}

TEST_F(DownloadRangeTest, ClosingTheReaderDuringARunAsksForTheWholeProgram) {
    serve_book({.book = "123", .chapter_count = 4}, 200ms);
    set_range("123", "1", "4");
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !file_contents(output_).empty(); }));
    ReaderWindow* reader = windows->reader_window();

    recorded.choices = {2};  // 「取消」
    reader->close();
    EXPECT_TRUE(reader->isVisible());
    EXPECT_TRUE(download_->isVisible());

    recorded.choices = {1};  // 「后台继续」: both go out of sight, the run goes on
    reader->close();
    ASSERT_EQ(recorded.choice_questions.size(), 2u);
    EXPECT_FALSE(reader->isVisible());
    EXPECT_FALSE(download_->isVisible());
    EXPECT_TRUE(windows->download()->running());
    ASSERT_TRUE(wait_until([&] { return recorded.messages.size() == 1; }, 30000));
    EXPECT_EQ(recorded.messages[0], kDone + where());
    EXPECT_EQ(file_contents(output_), block(0) + block(1) + block(2) + block(3));
}

TEST_F(DownloadRangeTest, StoppingOnTheReadersCloseEndsTheRunAtOnce) {
    serve_book({.book = "123", .chapter_count = 8}, 300ms);
    set_range("123", "1", "8");
    QTest::mouseClick(download_->start_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !file_contents(output_).empty(); }));
    recorded.choices = {0};  // 「停止下载」
    windows->reader_window()->close();
    EXPECT_FALSE(windows->reader_window()->isVisible());
    ASSERT_TRUE(wait_until([&] { return windows->download_window() == nullptr; }, 1000));
    QTest::qWait(700);
    EXPECT_LT(requests().size(), 8u);
}

TEST_F(DownloadRangeTest, TheBookshelfChecksADownloadedBookForNewChaptersAndExportsItAgain) {
    serve_book({.book = "123", .chapter_count = 4});
    set_range("123", "1", "2");
    download_range();
    server_->clear_requests();

    QTest::mouseClick(windows->reader_window()->bookshelf_button, Qt::LeftButton);
    BookshelfWindow* shelf = windows->bookshelf_window();
    ASSERT_NE(shelf, nullptr);
    ASSERT_EQ(shelf->books->topLevelItemCount(), 1);
    shelf->books->setCurrentItem(shelf->books->topLevelItem(0));
    EXPECT_EQ(shelf->books->topLevelItem(0)->text(unread_column), QStringLiteral("2"));

    // Exported once as GBK text: the export is remembered for later.
    QTemporaryDir elsewhere;
    recorded.save_path = elsewhere.filePath(QStringLiteral("夜行记.txt"));
    const std::string exported = recorded.save_path.toStdString();
    shelf->format_box->setCurrentIndex(1);
    shelf->encoding_box->setCurrentIndex(0);
    QTest::mouseClick(shelf->export_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->bookshelf()->exporting(); }, 30000));
    EXPECT_EQ(file_contents(exported), block(0) + block(1));

    shelf->export_again_box->setChecked(true);
    QTest::mouseClick(shelf->update_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->bookshelf()->updating(); }, 30000));
    const QStringList lines = shelf->note->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << shelf->note->text().toStdString();
    EXPECT_TRUE(lines[0].startsWith(utf8("《夜行记》：新增 2 章（"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(utf8(" …… "))) << lines[0].toStdString();
    EXPECT_EQ(lines[1], utf8("已重新导出《夜行记》4 页到 ") + recorded.save_path);
    // The export now has the new chapters, byte for byte as a download of them.
    EXPECT_EQ(file_contents(exported), block(0) + block(1) + block(2) + block(3));
    EXPECT_EQ(shelf->books->topLevelItem(0)->text(unread_column), QStringLiteral("4"));
    // Each address at most once, and nothing past the missing chapter after the book's end.
    std::vector<std::string> asked = requests();
    std::ranges::sort(asked);
    EXPECT_EQ(std::ranges::adjacent_find(asked), asked.end()) << ::testing::PrintToString(asked);
    EXPECT_NE(std::ranges::find(asked, "/123/4.html"), asked.end());
    EXPECT_LE(asked.size(), 5u);

    // Every book checked again: nothing is new, and nothing is written again.
    QTest::mouseClick(shelf->update_all_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->bookshelf()->updating(); }, 30000));
    EXPECT_EQ(shelf->note->text(), utf8("《夜行记》：没有新章节"));
}

}  // namespace

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
