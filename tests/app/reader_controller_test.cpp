// Readings on a worker thread, offscreen: the window keeps answering, presses
// made meanwhile are served in order, failures say why, and closing the
// program abandons a reading under way. Then reading comfort: the place in
// the book outlives the run, back and forward re-read the chapters read, and
// the text size follows the keys and the wheel.

#include "app/reader_controller.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWheelEvent>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>

#include "app/content_box.h"
#include "app/program_windows.h"
#include "app/reader_settings.h"
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
    void close() {
        const std::lock_guard lock(mutex_);
        open_ = false;
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
    fetched.page = R"(<div id="content">)" + link + "</div>";
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

    // Closes the program as a user would and starts it again on the same
    // settings.
    void restart() {
        reader->close();
        windows.reset();
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        reader = windows->reader_window();
    }

    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void press_down() {
        QCoreApplication::postEvent(reader->hot_key_label, new HotKeyNotification(5, 0));
        QApplication::processEvents();
    }
    // A key of the window, as when it has the keyboard.
    void press_key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QApplication::setActiveWindow(reader);
        ASSERT_TRUE(wait_until([&] { return QApplication::activeWindow() == reader; }));
        QTest::keyClick(reader, key, modifiers);
    }
    [[nodiscard]] bool readings_done() const {
        return wait_until([&] { return !windows->reader()->busy(); });
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
    EXPECT_EQ(reader->content_box->chapter_text(),
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

TEST_F(Readings, AFailedReadingKeepsTheBoxAndSaysWhyInTheTitle) {
    gate.open();
    recorded.fetch = [](const std::string& link, std::stop_token) {
        if (link == "down") return FetchedChapter{.error = TransportError::timed_out};
        return chapter_of(link);
    };
    reader->link_box->setText(QStringLiteral("up"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    ASSERT_FALSE(reader->content_box->chapter_text().isEmpty());

    const QString shown = reader->content_box->chapter_text();

    reader->link_box->setText(QStringLiteral("down"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    EXPECT_EQ(reader->content_box->chapter_text(), shown);
    EXPECT_EQ(windows->reader()->next_chapter_link(), "up/");
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

TEST_F(Readings, TheNextRunContinuesFromTheLastChapterShown) {
    gate.open();
    recorded.fetch = [this](const std::string& link, std::stop_token stop) {
        if (link == "down") return FetchedChapter{.error = TransportError::timed_out};
        if (!gate.wait(stop)) return FetchedChapter{.error = TransportError::stopped};
        return chapter_of(link);
    };
    // A saved link is followed only when it is the site's: the chapter is one of its pages.
    reader->link_box->setText(QStringLiteral("https://www.qubige.com/A"));
    press(reader->fetch_button);
    ASSERT_TRUE(readings_done());
    // A failed reading afterwards keeps the place.
    reader->link_box->setText(QStringLiteral("down"));
    press(reader->fetch_button);
    ASSERT_TRUE(readings_done());

    gate.close();
    restart();
    // The start looks as it always did.
    EXPECT_EQ(reader->content_box->chapter_text(), QString());
    EXPECT_EQ(reader->link_box->text(), utf8("在这里粘贴小说链接，仅支持趣笔阁链接"));
    EXPECT_FALSE(reader->windowTitle().contains(QStringLiteral("—")));

    press_down();
    ASSERT_TRUE(wait_until([&] { return recorded.fetched_links().size() == 3; }));
    EXPECT_EQ(recorded.fetched_links().back(), "https://www.qubige.com/A/");
    EXPECT_TRUE(
        reader->windowTitle().endsWith(QStringLiteral("正在获取… https://www.qubige.com/A/")));
    gate.open();
    ASSERT_TRUE(readings_done());
    EXPECT_EQ(reader->content_box->chapter_text(), QStringLiteral("\nhttps://www.qubige.com/A/\n"));
}

TEST_F(Readings, ASavedNextLinkOffTheSiteIsNeverFetched) {
    gate.open();
    reader->link_box->setText(QStringLiteral("https://www.qubige.com/A"));
    press(reader->fetch_button);
    ASSERT_TRUE(readings_done());
    reader->close();
    windows.reset();
    // The settings file is the user's: someone wrote another host into it.
    {
        ReaderSettings edited{recorded.settings_folder.filePath(QStringLiteral("settings.ini"))};
        edited.save_reading_place({.chapter_link = "https://www.qubige.com/A",
                                   .next_link = "https://other.example/steal.html"});
    }
    windows = std::make_unique<ProgramWindows>(recorded.seams());
    windows->open_reader_window();
    reader = windows->reader_window();
    press_down();
    QTest::qWait(100);
    for (const std::string& link : recorded.fetched_links()) {
        EXPECT_EQ(link.find("other.example"), std::string::npos) << link;
    }
}

TEST_F(Readings, BackAndForwardReadTheChaptersAgainAndPagingGoesOnFromThere) {
    gate.open();
    reader->link_box->setText(QStringLiteral("A"));
    press(reader->fetch_button);
    press(reader->next_page_button);
    press(reader->next_page_button);
    ASSERT_TRUE(readings_done());  // read A, A/, A//

    press_key(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(readings_done());
    EXPECT_EQ(reader->content_box->chapter_text(), QStringLiteral("\nA/\n"));
    EXPECT_EQ(windows->reader()->next_chapter_link(), "A//");

    // From the content box's menu this time.
    QString menu_entries;
    QTimer::singleShot(100, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        for (QAction* action : menu->actions()) {
            if (action->isEnabled()) menu_entries += action->text() + QLatin1Char('|');
        }
        menu->close();
        reader->content_box->back_action->trigger();
    });
    QContextMenuEvent right_click(QContextMenuEvent::Mouse, {10, 10},
                                  reader->content_box->mapToGlobal(QPoint{10, 10}));
    QApplication::sendEvent(reader->content_box->viewport(), &right_click);
    ASSERT_TRUE(wait_until([&] { return recorded.fetched_links().size() == 5; }));
    ASSERT_TRUE(readings_done());
    EXPECT_TRUE(menu_entries.contains(utf8("上一章（已读）|下一章（已读）|")))
        << menu_entries.toStdString();

    press_key(Qt::Key_Right, Qt::AltModifier);
    ASSERT_TRUE(readings_done());
    // Paging after going back goes on from the chapter shown.
    press(reader->next_page_button);
    ASSERT_TRUE(readings_done());
    const std::vector<std::string> expected{"A", "A/", "A//", "A/", "A", "A/", "A//"};
    EXPECT_EQ(recorded.fetched_links(), expected);
    EXPECT_EQ(windows->reader()->next_chapter_link(), "A///");
    EXPECT_FALSE(reader->content_box->forward_action->isEnabled());
}

TEST_F(Readings, GoingBackWaitsForTheReadingBeforeIt) {
    gate.open();
    reader->link_box->setText(QStringLiteral("A"));
    press(reader->fetch_button);
    press(reader->next_page_button);
    ASSERT_TRUE(readings_done());

    gate.close();
    press_down();  // A// on its way
    press_key(Qt::Key_Left, Qt::AltModifier);
    gate.open();
    ASSERT_TRUE(readings_done());
    // Back from A//, the chapter shown when its turn came.
    const std::vector<std::string> expected{"A", "A/", "A//", "A/"};
    EXPECT_EQ(recorded.fetched_links(), expected);
}

TEST_F(Readings, TheTextSizeFollowsTheKeysAndTheWheelAndIsRemembered) {
    const QFont designed = reader->content_box->font();
    const auto size = [&] { return reader->content_box->font().pixelSize(); };
    const auto wheel = [&](int angle, Qt::KeyboardModifiers modifiers) {
        QWheelEvent turn({10, 10}, reader->content_box->mapToGlobal(QPoint{10, 10}), {}, {0, angle},
                         Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(reader->content_box->viewport(), &turn);
    };

    press_key(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(size(), 20);
    press_key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(size(), 22);
    press_key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(size(), 20);
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(size(), 22);
    wheel(60, Qt::ControlModifier);  // half a notch: not yet
    EXPECT_EQ(size(), 22);
    wheel(60, Qt::ControlModifier);
    EXPECT_EQ(size(), 24);
    wheel(-240, Qt::NoModifier);  // scrolls only
    EXPECT_EQ(size(), 24);
    for (int press = 0; press < 30; ++press) press_key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(size(), 48);
    press_key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(size(), 18);
    wheel(-120 * 30, Qt::ControlModifier);
    EXPECT_EQ(size(), 10);

    press_key(Qt::Key_Equal, Qt::ControlModifier);
    restart();
    EXPECT_EQ(size(), 12);
    EXPECT_EQ(reader->content_box->font().family(), designed.family());
    EXPECT_EQ(reader->content_box->font().weight(), designed.weight());
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
