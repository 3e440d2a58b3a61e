// The three windows on the offscreen platform: every control, the bindings,
// the link box's placeholder, the layout timer and the window modality.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "app/content_box.h"
#include "app/download_window.h"
#include "app/program_windows.h"
#include "app/reader_controller.h"
#include "app/reader_settings.h"
#include "app/reader_window.h"
#include "tests/app/window_test_support.h"

using namespace std::string_view_literals;

namespace novel::testing {
namespace {

struct ControlSpec {
    std::string_view name;
    const char* kind;
    QRect place;
    std::string_view text;  // UTF-8
};

// The text a control shows, whatever its kind.
QString shown_text(const QWidget* widget) {
    if (const auto* line = qobject_cast<const QLineEdit*>(widget)) return line->text();
    if (const auto* plain = qobject_cast<const QTextEdit*>(widget)) return plain->toPlainText();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return {};
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        reader = windows->reader_window();
        link_box = reader->link_box;
    }

    // Controls keep their names: each is found by name within its window.
    static void expect_controls(const QWidget* window, const std::vector<ControlSpec>& controls) {
        for (const ControlSpec& expected : controls) {
            SCOPED_TRACE(expected.name);
            const auto* widget = window->findChild<QWidget*>(utf8(expected.name));
            ASSERT_NE(widget, nullptr);
            EXPECT_TRUE(widget->inherits(expected.kind)) << widget->metaObject()->className();
            EXPECT_EQ(widget->geometry(), expected.place);
            EXPECT_TRUE(widget->isVisible());
            EXPECT_TRUE(widget->isEnabled());
            EXPECT_EQ(shown_text(widget), utf8(expected.text));
        }
    }

    // Closes the program as a user would and starts it again on the same
    // settings.
    void restart() {
        reader->close();
        windows.reset();
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        reader = windows->reader_window();
        link_box = reader->link_box;
    }

    // Waits until the readings asked for so far are done.
    [[nodiscard]] bool readings_done() const {
        return wait_until([&] { return !windows->reader()->busy(); });
    }

    // Gives the reader window the keyboard, as a click into it would.
    void activate_reader() {
        QApplication::setActiveWindow(reader);
        ASSERT_TRUE(wait_until([&] { return QApplication::activeWindow() == reader; }));
    }

    [[nodiscard]] QRgb link_colour() const {
        return link_box->palette().color(QPalette::Text).rgb() & 0xFFFFFF;
    }

    RecordingSeams recorded;
    std::unique_ptr<ProgramWindows> windows;
    ReaderWindow* reader = nullptr;
    QLineEdit* link_box = nullptr;
};

TEST_F(Windows, ReaderWindowHasEveryControlAsDesigned) {
    EXPECT_EQ(reader->windowTitle(), utf8("Corvane免VIP小说下载器（仅支持趣笔阁www.qubige.com）"));
    EXPECT_EQ(reader->frameGeometry().size(), QSize(459, 286));
    expect_controls(
        reader,
        {
            {"编辑框1", "QTextEdit", {0, 0, 352, 240}, ""},
            {"编辑框2", "QLineEdit", {8, 216, 288, 24}, "在这里粘贴小说链接，仅支持趣笔阁链接"},
            {"按钮3", "QPushButton", {304, 216, 40, 24}, "获取"},
            {"按钮1", "QPushButton", {352, 216, 32, 24}, "下载"},
            {"按钮2", "QPushButton", {392, 216, 48, 24}, "下一页"},
        });
    EXPECT_EQ(link_colour(), 0xC0C0C0u);
    EXPECT_EQ(link_box->palette().color(QPalette::Base), QColor(Qt::white));

    const ContentBox* content = reader->content_box;
    EXPECT_EQ(content->font().pixelSize(), 18);
    EXPECT_EQ(content->font().weight(), QFont::Normal);
    EXPECT_EQ(content->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(content->palette().color(QPalette::Base), QColor(Qt::white));
    // Whichever face is used must be one that has Chinese glyphs.
    const QString family = QFontInfo(content->font()).family();
    EXPECT_TRUE(family == utf8("微软雅黑") || family.contains(QStringLiteral("CJK")))
        << family.toStdString();

    const auto* timer = reader->findChild<QTimer*>(utf8("时钟1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_TRUE(timer->isActive());
    const auto* label = reader->findChild<QLabel*>(utf8("标签1"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isHidden());
}

TEST_F(Windows, CreationShowsTheNoticeOnceThenTakesTheHotKey) {
    ASSERT_EQ(recorded.messages.size(), 1u);
    EXPECT_EQ(recorded.messages[0], utf8("本软件仅供学习交流，请勿用于违法途径，CorvaneQQ：10001"));
    ASSERT_EQ(recorded.hot_keys.size(), 1u);
    EXPECT_EQ(recorded.hot_keys[0], (std::pair<std::uint32_t, std::uint32_t>{0, 0x28}));
    EXPECT_EQ(windows->reader()->paging_hot_key_id(), 5);
}

TEST_F(Windows, HotKeyNotificationsReachTheLabelAndPageOnlyForTheirIdentifier) {
    QCoreApplication::postEvent(reader->hot_key_label, new HotKeyNotification(6, 0));
    QCoreApplication::postEvent(reader->hot_key_label, new HotKeyNotification(5, 0));
    ASSERT_TRUE(wait_until([&] { return !recorded.fetched_links().empty(); }));
    ASSERT_TRUE(readings_done());
    // Before any reading the next link is empty.
    EXPECT_EQ(recorded.fetched_links(), std::vector<std::string>{""});
}

TEST_F(Windows, DownInsideOurOwnWindowsDoesNotPage) {
    // Only the system-wide grab pages; an ordinary press is the control's own.
    activate_reader();
    for (QWidget* target : std::initializer_list<QWidget*>{reader->content_box, link_box,
                                                           reader->next_page_button, reader}) {
        QTest::keyClick(target, Qt::Key_Down);
    }
    QApplication::processEvents();
    EXPECT_TRUE(recorded.fetched_links().empty());
}

TEST_F(Windows, ContentBoxShowsGbkTextWithItsLineEnds) {
    reader->content_box->show_gbk_text("\xB5\xDA\xD2\xBB\r\nb\rc\xFF"sv);
    EXPECT_EQ(reader->content_box->chapter_text(), utf8("第一\nb\nc\uFFFD"));
}

TEST_F(Windows, PlaceholderLeavesAndReturnsWithTheFocus) {
    activate_reader();
    const QString placeholder = utf8("在这里粘贴小说链接，仅支持趣笔阁链接");

    link_box->setFocus();
    ASSERT_TRUE(wait_until([&] { return link_box->hasFocus(); }));
    EXPECT_EQ(link_box->text(), QString());
    EXPECT_EQ(link_colour(), 0x000000u);

    reader->next_page_button->setFocus();
    ASSERT_TRUE(wait_until([&] { return !link_box->hasFocus(); }));
    EXPECT_EQ(link_box->text(), placeholder);
    EXPECT_EQ(link_colour(), 0xC0C0C0u);

    // A single blank is not empty: leaving it changes nothing.
    link_box->setFocus();
    QTest::keyClicks(link_box, QStringLiteral(" "));
    reader->next_page_button->setFocus();
    EXPECT_EQ(link_box->text(), QStringLiteral(" "));
    EXPECT_EQ(link_colour(), 0x000000u);

    // The placeholder typed by hand goes the next time the box gains the focus.
    link_box->setFocus();
    link_box->clear();
    link_box->insert(utf8("在这里粘贴小说链接，仅支持趣笔阁链接"));  // as pasted
    reader->next_page_button->setFocus();
    EXPECT_EQ(link_box->text(), placeholder);
    link_box->setFocus();
    EXPECT_EQ(link_box->text(), QString());
}

TEST_F(Windows, TheLinkBoxKeepsTheFocusWhileItsContextMenuIsOpen) {
    // Pasting with a right click: the empty box must not turn into the grey
    // placeholder while its own menu is open.
    activate_reader();
    link_box->setFocus();
    ASSERT_TRUE(wait_until([&] { return link_box->hasFocus(); }));
    ASSERT_EQ(link_box->text(), QString());
    QApplication::clipboard()->setText(QStringLiteral("https://www.qubige.com/1_2/3.html"));

    QString while_open = QStringLiteral("not seen");
    QTimer::singleShot(100, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        while_open = link_box->text();
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QStringLiteral("&Paste"))) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        menu->close();
    });
    QTimer::singleShot(3000, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    QContextMenuEvent right_click(QContextMenuEvent::Mouse, {10, 10},
                                  link_box->mapToGlobal(QPoint{10, 10}));
    QApplication::sendEvent(link_box, &right_click);
    ASSERT_TRUE(wait_until([&] {
        return while_open != QStringLiteral("not seen") &&
               QApplication::activePopupWidget() == nullptr;
    }));
    QApplication::processEvents();
    EXPECT_EQ(while_open, QString());
    EXPECT_EQ(link_box->text(), QStringLiteral("https://www.qubige.com/1_2/3.html"));
    EXPECT_EQ(link_colour(), 0x000000u);
}

TEST_F(Windows, FetchingFromAnEmptyFocusedBoxPassesThePlaceholder) {
    activate_reader();
    link_box->setFocus();
    ASSERT_TRUE(wait_until([&] { return link_box->hasFocus(); }));
    ASSERT_EQ(link_box->text(), QString());
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    ASSERT_TRUE(readings_done());
    EXPECT_EQ(
        recorded.fetched_links(),
        std::vector<std::string>{gbk_from_qstring(utf8("在这里粘贴小说链接，仅支持趣笔阁链接"))});
}

TEST_F(Windows, FetchingPassesTheTypedLinkAndTheLinkBoxFollowsTheChapterShown) {
    recorded.fetch = [](const std::string& link, std::stop_token) {
        FetchedChapter fetched;
        fetched.status = 200;
        fetched.page = R"(<div id="content">)";
        fetched.chapter.text = "\r\nT\r\n" + link;
        fetched.chapter.next_link = link + "+";
        return fetched;
    };
    activate_reader();
    link_box->setFocus();
    QTest::keyClicks(link_box, QStringLiteral(" https://www.qubige.com/1_1234/5678.html"));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);
    QTest::mouseClick(reader->next_page_button, Qt::LeftButton);
    ASSERT_TRUE(readings_done());

    const std::vector<std::string> expected{" https://www.qubige.com/1_1234/5678.html",
                                            " https://www.qubige.com/1_1234/5678.html+"};
    EXPECT_EQ(recorded.fetched_links(), expected);
    EXPECT_EQ(windows->reader()->next_chapter_link(), expected[1] + "+");
    EXPECT_EQ(reader->content_box->chapter_text(), QString::fromStdString("\nT\n" + expected[1]));
    EXPECT_EQ(link_box->text(), QString::fromStdString(expected[1]));
}

TEST_F(Windows, LayoutFollowsTheWindowSize) {
    struct Expected {
        QSize window;
        QRect content, link, fetch, download, next_page;
    };
    const std::vector<Expected> sizes{
        {{459, 286},
         {0, 0, 439, 206},
         {8, 206, 288, 24},
         {304, 206, 40, 24},
         {354, 206, 32, 24},
         {394, 206, 48, 24}},
        {{640, 480},
         {0, 0, 620, 400},
         {8, 400, 288, 24},
         {304, 400, 40, 24},
         {354, 400, 32, 24},
         {394, 400, 48, 24}},
        {{300, 200},
         {0, 0, 280, 120},
         {8, 120, 288, 24},
         {304, 120, 40, 24},
         {354, 120, 32, 24},
         {394, 120, 48, 24}},
    };
    for (const Expected& size : sizes) {
        SCOPED_TRACE(size.window.width());
        reader->resize(size.window - (reader->frameGeometry().size() - reader->size()));
        ASSERT_EQ(reader->frameGeometry().size(), size.window);
        ASSERT_TRUE(wait_until([&] { return reader->content_box->geometry() == size.content; }));
        EXPECT_EQ(link_box->geometry(), size.link);
        EXPECT_EQ(reader->fetch_button->geometry(), size.fetch);
        EXPECT_EQ(reader->download_button->geometry(), size.download);
        EXPECT_EQ(reader->next_page_button->geometry(), size.next_page);
    }
}

TEST_F(Windows, DownloadWindowOpensModelessWithEveryControl) {
    QTest::mouseClick(reader->download_button, Qt::LeftButton);
    DownloadWindow* download = windows->download_window();
    ASSERT_NE(download, nullptr);
    EXPECT_TRUE(download->isVisible());
    EXPECT_EQ(download->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(download->parentWidget(), nullptr);
    EXPECT_EQ(download->windowTitle(), utf8("下载"));
    EXPECT_EQ(download->frameGeometry().size(), QSize(320, 292));
    EXPECT_EQ(download->minimumSize(), download->maximumSize());
    expect_controls(download,
                    {
                        {"输入书号", "QLabel", {8, 8, 72, 32}, "请输入书号："},
                        {"编辑框1", "QLineEdit", {80, 8, 80, 32}, ""},
                        {"按钮1", "QPushButton", {192, 8, 96, 32}, "取当前阅读序号"},
                        {"透明标签1", "QLabel", {8, 48, 80, 32}, "起始章节序号："},
                        {"编辑框2", "QLineEdit", {88, 48, 80, 32}, ""},
                        {"按钮3", "QPushButton", {200, 56, 88, 32}, "下载说明"},
                        {"透明标签2", "QLabel", {8, 88, 80, 32}, "结束章数序号："},
                        {"编辑框3", "QLineEdit", {88, 88, 80, 32}, ""},
                        {"按钮2", "QPushButton", {200, 96, 88, 32}, "开始下载"},
                        {"单选框2", "QRadioButton", {8, 128, 88, 32}, "同一文本"},
                        {"透明标签3", "QLabel", {88, 128, 152, 32}, "默认同目录保存（文本.txt）"},
                    });
    for (const char* label : {"输入书号", "透明标签1", "透明标签2", "透明标签3"}) {
        EXPECT_FALSE(download->findChild<QWidget*>(utf8(label))->autoFillBackground()) << label;
    }

    // The reader stays usable, and the two 编辑框2 are different controls.
    QTest::mouseClick(reader->next_page_button, Qt::LeftButton);
    ASSERT_TRUE(readings_done());
    EXPECT_EQ(recorded.fetched_links().size(), 1u);
    download->start_chapter_box->setText(QStringLiteral("12"));
    EXPECT_EQ(link_box->text(), utf8("在这里粘贴小说链接，仅支持趣笔阁链接"));

    // Opening it again brings the same window forward.
    QTest::mouseClick(reader->download_button, Qt::LeftButton);
    EXPECT_EQ(windows->download_window(), download);
    EXPECT_EQ(download->start_chapter_box->text(), QStringLiteral("12"));
}

TEST_F(Windows, InstructionsWindowIsModalAndShowsThePicture) {
    windows->open_download_window();
    DownloadWindow* download = windows->download_window();
    ASSERT_NE(download, nullptr);

    bool seen_while_open = false;
    QTimer::singleShot(0, [&] {
        QWidget* instructions = QApplication::activeModalWidget();
        ASSERT_NE(instructions, nullptr);
        seen_while_open = true;
        EXPECT_EQ(instructions, windows->instructions_window());
        EXPECT_EQ(QApplication::activeModalWidget(), instructions);
        EXPECT_EQ(instructions->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(instructions->parentWidget(), nullptr);
        EXPECT_EQ(instructions->windowTitle(), utf8("下载说明"));
        EXPECT_EQ(instructions->frameGeometry().size(), QSize(364, 200));
        EXPECT_EQ(instructions->minimumSize(), instructions->maximumSize());
        const auto* picture = instructions->findChild<QLabel*>(utf8("图片框1"));
        EXPECT_NE(picture, nullptr);
        if (picture != nullptr) {
            EXPECT_EQ(picture->geometry(), QRect(0, 0, 376, 224));
            EXPECT_EQ(picture->pixmap().size(), QSize(357, 171));
        }
        instructions->close();
    });
    // Never left hanging in the modal loop, whatever went wrong above.
    QTimer::singleShot(3000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    QTest::mouseClick(download->instructions_button, Qt::LeftButton);
    // The click handler returns only once the window is closed.
    EXPECT_TRUE(seen_while_open);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    const QImage picture(QStringLiteral(":/instructions.png"));
    EXPECT_EQ(picture.size(), QSize(357, 171));
    EXPECT_FALSE(picture.hasAlphaChannel());
}

TEST_F(Windows, ClosingTheReaderWindowClosesTheDownloadWindow) {
    windows->open_download_window();
    ASSERT_NE(windows->download_window(), nullptr);
    reader->close();
    EXPECT_FALSE(reader->isVisible());
    EXPECT_TRUE(wait_until([&] { return windows->download_window() == nullptr; }));
}

TEST_F(Windows, WindowsOpenWhereTheyWereLastClosed) {
    reader->move(120, 80);
    reader->resize(QSize(600, 400) - (reader->frameGeometry().size() - reader->size()));
    windows->open_download_window();
    windows->download_window()->move(300, 250);
    restart();  // closing the reader closes the download window too

    EXPECT_EQ(reader->frameGeometry(), QRect(120, 80, 600, 400));
    // The layout follows the size given back.
    EXPECT_TRUE(wait_until([&] { return reader->content_box->size() == QSize(580, 320); }));
    EXPECT_EQ(link_box->geometry(), QRect(8, 320, 288, 24));
    windows->open_download_window();
    EXPECT_EQ(windows->download_window()->frameGeometry(), QRect(300, 250, 320, 292));
}

TEST_F(Windows, APlaceOnAScreenThatIsGoneGivesTheDesignedOne) {
    reader->close();
    windows.reset();
    {
        // As a run on a larger desktop left it.
        ReaderSettings earlier(recorded.settings_folder.filePath(QStringLiteral("settings.ini")));
        earlier.save_window_place(READER_WINDOW_PLACE, {3000, 2000, 700, 500});
        earlier.save_window_place(DOWNLOAD_WINDOW_PLACE, {-900, 100, 320, 292});
    }
    windows = std::make_unique<ProgramWindows>(recorded.seams());
    windows->open_reader_window();
    windows->open_download_window();
    EXPECT_EQ(windows->reader_window()->frameGeometry(), QRect(50, 50, 459, 286));
    EXPECT_EQ(windows->download_window()->frameGeometry(), QRect(50, 50, 320, 292));
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
