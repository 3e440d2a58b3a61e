// Readings on a worker thread, offscreen: the window keeps answering, presses
// made meanwhile are served in order, failures say why, and closing the
// program abandons a reading under way.

#include "app/reader_controller.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>

#include "app/content_box.h"
#include "app/program_windows.h"
#include "app/reader_window.h"
#include "tests/app/window_test_support.h"

namespace novel::testing {
namespace {
using namespace std::chrono_literals;

// A fetch that answers only when the test lets it, or when stopped.
class Gate {
public:
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    // Waits for open() or a stop request; true when opened.
    bool wait(const std::stop_token& stop) {
        std::unique_lock lock(mutex_);
        return changed_.wait(lock, stop, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    bool open_ = false;
};

FetchedChapter chapter_of(const std::string& link) {
    FetchedChapter fetched;
    fetched.status = 200;
    fetched.chapter.text = "\r\n" + link + "\r\n";
    fetched.chapter.next_link = link + "/";
    return fetched;
}

class Readings : public ::testing::Test {
protected:
    void SetUp() override {
        recorded.fetch = [this](const std::string& link, std::stop_token stop) {
            if (!gate.wait(stop)) return FetchedChapter{.error = TransportError::stopped};
            return chapter_of(link);
        };
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        reader = windows->reader_window();
    }
    void TearDown() override {
        gate.open();
        windows.reset();
    }

    RecordingSeams recorded;
    Gate gate;
    std::unique_ptr<ProgramWindows> windows;
    ReaderWindow* reader = nullptr;
};

TEST_F(Readings, TheWindowAnswersAndShowsTheReadingWhileItRuns) {
    reader->link_box->setText(QStringLiteral("https://www.qubige.com/1/1.html"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return recorded.fetched_links().size() == 1; }));

    EXPECT_TRUE(reader->windowTitle().contains(QStringLiteral("正在获取…")));
    EXPECT_EQ(reader->content_box->viewport()->cursor().shape(), Qt::BusyCursor);
    // Input still reaches the window while the page is on its way.
    reader->link_box->setFocus();
    QTest::keyClicks(reader->link_box, QStringLiteral("x"));
    EXPECT_TRUE(reader->link_box->text().endsWith(QStringLiteral("x")));

    gate.open();
    ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    EXPECT_FALSE(reader->windowTitle().contains(QStringLiteral("正在获取")));
    EXPECT_NE(reader->content_box->viewport()->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(reader->content_box->toPlainText(),
              QStringLiteral("\nhttps://www.qubige.com/1/1.html\n"));
}

TEST_F(Readings, PressesMadeDuringAReadingAreServedInTheirOrder) {
    reader->link_box->setText(QStringLiteral("A"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    // Down three times, a new link, then "下一页" once more.
    for (int press = 0; press < 3; ++press) {
        QCoreApplication::postEvent(reader->hot_key_label, new HotKeyNotification(5, 0));
    }
    QApplication::processEvents();
    reader->link_box->setText(QStringLiteral("B"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    QTest::mouseClick(reader->next_page_button, Qt::LeftButton);

    gate.open();
    ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    const std::vector<std::string> expected{"A", "A/", "A//", "A///", "B", "B/"};
    EXPECT_EQ(recorded.fetched_links(), expected);
    EXPECT_EQ(windows->reader()->next_chapter_link(), "B//");
}

TEST_F(Readings, AFailedReadingEmptiesTheBoxAndSaysWhyInTheTitle) {
    gate.open();
    recorded.fetch = [](const std::string& link, std::stop_token) {
        if (link == "down") return FetchedChapter{.error = TransportError::timed_out};
        return chapter_of(link);
    };
    reader->link_box->setText(QStringLiteral("up"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    ASSERT_FALSE(reader->content_box->toPlainText().isEmpty());

    reader->link_box->setText(QStringLiteral("down"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    EXPECT_EQ(reader->content_box->toPlainText(), QString());
    EXPECT_TRUE(reader->windowTitle().contains(QStringLiteral("连接超时")));
}

TEST_F(Readings, ClosingDuringAReadingEndsAtOnce) {
    reader->link_box->setText(QStringLiteral("hangs"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return recorded.fetched_links().size() == 1; }));
    reader->close();
    QElapsedTimer clock;
    clock.start();
    windows.reset();  // what main does once the last window is closed
    EXPECT_LT(clock.elapsed(), 1000);
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
