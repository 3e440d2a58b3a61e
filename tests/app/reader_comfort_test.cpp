// The reading view as the user meets it (offscreen): copying gives the
// chapter's own text, the site's lines hidden and shown, the themes on the
// palette, the reading settings and switches remembered across restarts, the
// global Down key given back, full screen, and one reader per user.

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QUuid>

#include "app/content_box.h"
#include "app/program_windows.h"
#include "app/reader_controller.h"
#include "app/reader_texts.h"
#include "app/reader_window.h"
#include "app/reading_settings_dialog.h"
#include "app/single_instance.h"
#include "tests/app/window_test_support.h"

namespace novel::testing {
namespace {

const std::string ADVERT = "趣笔阁 m.qubige.com7_7001 手机阅读，最快更新青石巷的灯最新章节";
const std::string CHAPTER_UTF8 =
    "\u3000\u3000风起了。\r\n\r\n" + ADVERT + "\r\n\u3000\u3000灯亮了。\r\n";

class Comfort : public ::testing::Test {
protected:
    void SetUp() override {
        recorded.fetch = [](const std::string& link, std::stop_token) {
            FetchedChapter fetched;
            fetched.status = 200;
            fetched.chapter.text = gbk_from_qstring(utf8(CHAPTER_UTF8));
            fetched.chapter.next_link = link + "/";
            fetched.page = R"(<div id="content">x</div>)";
            return fetched;
        };
        start();
    }
    void start() {
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        reader = windows->reader_window();
        box = reader->content_box;
    }
    void restart() {
        reader->close();
        windows.reset();
        start();
    }
    void read_chapter() {
        windows->reader()->fetch_link(QStringLiteral("https://www.qubige.com/7/1.html"));
        ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
        ASSERT_FALSE(box->chapter_text().isEmpty());
    }
    QAction* theme_action(ReadingTheme theme) const {
        for (QAction* action : box->theme_actions->actions())
            if (action->data().toInt() == static_cast<int>(theme)) return action;
        return nullptr;
    }

    RecordingSeams recorded;
    std::unique_ptr<ProgramWindows> windows;
    ReaderWindow* reader = nullptr;
    ContentBox* box = nullptr;
};

TEST_F(Comfort, CopyingGivesTheChaptersTextWhileTheViewIsLaidOutForReading) {
    read_chapter();
    const QString exact = QString(utf8(CHAPTER_UTF8)).replace(QStringLiteral("\r\n"), "\n");
    EXPECT_EQ(box->chapter_text(), exact);
    // The view: indented paragraphs, no blank line, no advert.
    EXPECT_EQ(box->toPlainText(), utf8("\u3000\u3000风起了。\n\u3000\u3000灯亮了。"));

    box->selectAll();
    box->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), exact);
    // Part of a paragraph: its characters, without the indent.
    QTextCursor part(box->document());
    part.setPosition(2);
    part.setPosition(4, QTextCursor::KeepAnchor);
    box->setTextCursor(part);
    box->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), utf8("风起"));
}

TEST_F(Comfort, SiteLinesShowOnlyWhenSwitchedOnAndTheSwitchIsRemembered) {
    read_chapter();
    EXPECT_FALSE(box->toPlainText().contains(utf8("手机阅读")));
    box->site_additions_action->trigger();
    EXPECT_TRUE(box->toPlainText().contains(utf8(ADVERT)));
    restart();
    EXPECT_TRUE(box->site_additions_action->isChecked());
    EXPECT_TRUE(box->toPlainText().contains(utf8(ADVERT)));  // the last chapter, from the library
    box->site_additions_action->trigger();
    EXPECT_FALSE(box->toPlainText().contains(utf8(ADVERT)));
}

TEST_F(Comfort, ThemesColourTheBoxAndTheChoiceOutlivesTheRun) {
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor(Qt::white));  // a light desktop
    theme_action(ReadingTheme::night)->trigger();
    const ThemeColours night = theme_colours(ReadingTheme::night);
    EXPECT_EQ(box->palette().color(QPalette::Base), night.base);
    EXPECT_EQ(box->palette().color(QPalette::Text), night.text);
    // The window around the text goes dark too, and its buttons with it.
    EXPECT_LT(reader->palette().color(QPalette::Window).lightness(), 80);
    EXPECT_LT(reader->palette().color(QPalette::Button).lightness(), 100);
    EXPECT_EQ(reader->palette().color(QPalette::ButtonText), night.text);
    restart();
    EXPECT_EQ(box->palette().color(QPalette::Base), night.base);
    EXPECT_TRUE(theme_action(ReadingTheme::night)->isChecked());
    theme_action(ReadingTheme::sepia)->trigger();
    EXPECT_EQ(box->palette().color(QPalette::Base), theme_colours(ReadingTheme::sepia).base);
    EXPECT_FALSE(theme_action(ReadingTheme::night)->isChecked());
    theme_action(ReadingTheme::day)->trigger();
    EXPECT_EQ(reader->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));
}

TEST_F(Comfort, TheSettingsDialogAppliesItsLookAndItIsRemembered) {
    box->settings_action->trigger();
    auto* dialog = reader->findChild<ReadingSettingsDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), utf8("阅读设置"));
    ASSERT_GT(dialog->family_box->count(), 0);  // the faces that cover Chinese
    dialog->size_box->setValue(26);
    dialog->line_height_box->setValue(200);
    dialog->theme_box->setCurrentIndex(static_cast<int>(ReadingTheme::sepia));
    const QString family = dialog->family_box->itemText(dialog->family_box->count() - 1);
    dialog->family_box->setCurrentText(family);
    dialog->accept();
    EXPECT_EQ(box->font().pixelSize(), 26);
    EXPECT_EQ(box->palette().color(QPalette::Base), theme_colours(ReadingTheme::sepia).base);
    restart();
    EXPECT_EQ(
        box->look(),
        (ReadingLook{
            .family = family, .pixel_size = 26, .line_height = 200, .theme = ReadingTheme::sepia}));
    // The size keys go on from the chosen size.
    QApplication::setActiveWindow(reader);
    ASSERT_TRUE(wait_until([&] { return QApplication::activeWindow() == reader; }));
    QTest::keyClick(reader, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(box->font().pixelSize(), 28);
}

TEST_F(Comfort, TheGlobalDownKeyCanBeGivenBackAndStaysSo) {
    ASSERT_EQ(recorded.hot_keys.size(), 1u);
    EXPECT_TRUE(box->global_down_action->isChecked());
    box->global_down_action->trigger();
    EXPECT_EQ(recorded.released_hot_keys, std::vector<std::int32_t>{5});
    EXPECT_EQ(windows->reader()->paging_hot_key_id(), 0);
    // A press still on its way no longer pages.
    QCoreApplication::postEvent(reader->hot_key_label, new HotKeyNotification(5, 0));
    QApplication::processEvents();
    EXPECT_TRUE(recorded.fetched_links().empty());
    EXPECT_TRUE(reader->scroll_down_action->isEnabled());

    restart();
    EXPECT_EQ(recorded.hot_keys.size(), 1u);  // not taken again
    EXPECT_FALSE(box->global_down_action->isChecked());
    box->global_down_action->trigger();
    EXPECT_EQ(recorded.hot_keys.size(), 2u);
    EXPECT_EQ(windows->reader()->paging_hot_key_id(), 5);
    EXPECT_FALSE(reader->scroll_down_action->isEnabled());
}

TEST_F(Comfort, TheNoticeStaysAwayOnceTheUserSaysSo) {
    EXPECT_EQ(recorded.messages, std::vector<QString>{startup_notice()});
    restart();  // left unchecked: shown again
    EXPECT_EQ(recorded.messages.size(), 2u);
    recorded.tick_notice_box = true;
    restart();
    EXPECT_EQ(recorded.messages.size(), 3u);
    restart();
    EXPECT_EQ(recorded.messages.size(), 3u);
}

TEST_F(Comfort, F11GoesFullScreenAndEscapeLeavesIt) {
    QApplication::setActiveWindow(reader);
    ASSERT_TRUE(wait_until([&] { return QApplication::activeWindow() == reader; }));
    QTest::keyClick(reader, Qt::Key_F11);
    EXPECT_TRUE(reader->isFullScreen());
    QTest::keyClick(reader, Qt::Key_Escape);
    EXPECT_FALSE(reader->isFullScreen());
    QTest::keyClick(reader, Qt::Key_F11);
    QTest::keyClick(reader, Qt::Key_F11);
    EXPECT_FALSE(reader->isFullScreen());
    // Esc outside full screen is not taken from the controls.
    EXPECT_FALSE(reader->leave_full_screen_action->isEnabled());
}

TEST(OneInstance, ALaterStartHandsItsLinkToTheFirst) {
    const QString name =
        QStringLiteral("novel_reader_test-") + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance first(name);
    std::vector<QByteArray> handed;
    first.on_handed_on = [&](const QByteArray& link) { handed.push_back(link); };
    ASSERT_EQ(first.claim("ignored"), InstanceRole::first);

    SingleInstance second(name);
    EXPECT_EQ(second.claim("https://www.qubige.com/7/2.html"), InstanceRole::handed_on);
    SingleInstance third(name);
    EXPECT_EQ(third.claim(QByteArray()), InstanceRole::handed_on);
    ASSERT_TRUE(wait_until([&] { return handed.size() == 2; }));
    EXPECT_EQ(handed[0], QByteArray("https://www.qubige.com/7/2.html"));
    EXPECT_EQ(handed[1], QByteArray());

    // Other settings, another reader: they never meet.
    EXPECT_NE(instance_name(QStringLiteral("/a/settings.ini")),
              instance_name(QStringLiteral("/b/settings.ini")));
}

TEST(OneInstance, AReaderThatDiedLeavesNoOneToHandOnTo) {
    const QString name =
        QStringLiteral("novel_reader_test-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        SingleInstance gone(name);
        ASSERT_EQ(gone.claim({}), InstanceRole::first);
    }
    SingleInstance next(name);
    EXPECT_EQ(next.claim({}), InstanceRole::first);
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
