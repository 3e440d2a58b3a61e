#include "app/reader_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <string_view>

#include "app/content_box.h"
#include "app/control_builders.h"
#include "app/gbk_qstring.h"
#include "app/reader_texts.h"
#include "chapter/site.h"

namespace novel {

namespace {

constexpr int CONTENT_MARGIN_WIDTH = 20;
constexpr int CONTENT_MARGIN_HEIGHT = 80;
constexpr int BOTTOM_ROW_OFFSET = 80;
constexpr int DOWNLOAD_BUTTON_SHIFT = 50;
constexpr int NEXT_PAGE_BUTTON_SHIFT = 90;
constexpr int STATE_LINE_HEIGHT = 22;

QString reader_caption() {
    std::string_view host = SITE_ORIGIN;
    if (const auto scheme_end = host.find("://"); scheme_end != std::string_view::npos) {
        host.remove_prefix(scheme_end + 3);
    }
    return QStringLiteral("Corvane免VIP小说下载器（仅支持趣笔阁") + qstring_from_utf8(host) +
           QStringLiteral("）");
}

// Keys only: the window has no menu bar to show these in.
QAction* make_key_action(QWidget* window, const QList<QKeySequence>& keys) {
    auto* action = new QAction(window);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

}  // namespace

HotKeyNotification::HotKeyNotification(std::int32_t identifier, std::int32_t second)
    : QEvent(event_type()), identifier_(identifier), second_(second) {}

QEvent::Type HotKeyNotification::event_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

HotKeyLabel::HotKeyLabel(QWidget* parent) : QLabel(parent) {
    setObjectName(qstring_from_utf8(HOT_KEY_LABEL));
    hide();
}

bool HotKeyLabel::event(QEvent* event) {
    if (event->type() == HotKeyNotification::event_type()) {
        const auto* notification = static_cast<HotKeyNotification*>(event);
        if (on_notification) on_notification(notification->identifier(), notification->second());
        return true;
    }
    return QLabel::event(event);
}

ReaderWindow::ReaderWindow() {
    setWindowTitle(reader_caption());
    move(50, 50);
    resize(459, 286);

    content_box = new ContentBox(this);
    content_box->setObjectName(qstring_from_utf8(CONTENT_BOX));
    content_box->setGeometry(0, 0, 352, 240);

    link_box =
        make_edit_box(this, LINK_BOX, {8, 216, 288, 24}, QColor::fromRgb(PLACEHOLDER_COLOUR));
    link_box->setText(link_placeholder());
    link_box->installEventFilter(this);

    fetch_button = make_button(this, FETCH_BUTTON, QStringLiteral("获取"), {304, 216, 40, 24});
    download_button =
        make_button(this, DOWNLOAD_BUTTON, QStringLiteral("下载"), {352, 216, 32, 24});
    next_page_button =
        make_button(this, NEXT_PAGE_BUTTON, QStringLiteral("下一页"), {392, 216, 48, 24});

    bookshelf_action = make_key_action(this, {QKeySequence(Qt::CTRL | Qt::Key_B)});

    state_line = new QStatusBar(this);
    state_line->setSizeGripEnabled(false);
    busy_indicator = new QProgressBar(state_line);
    busy_indicator->setRange(0, 0);  // no figure: only that something is under way
    busy_indicator->setMaximumWidth(80);
    busy_indicator->setMaximumHeight(12);
    busy_indicator->hide();
    state_line->addPermanentWidget(busy_indicator);
    // In the state line: the bottom row has no room left at the designed width.
    bookshelf_button = new QPushButton(QStringLiteral("书架"), state_line);
    bookshelf_button->setFlat(true);
    state_line->addPermanentWidget(bookshelf_button);

    layout_timer = new QTimer(this);
    layout_timer->setObjectName(qstring_from_utf8(LAYOUT_TIMER));
    layout_timer->setInterval(100);

    hot_key_label = new HotKeyLabel(this);

    larger_text_action = make_key_action(
        this, {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    smaller_text_action = make_key_action(this, {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    default_text_action = make_key_action(this, {QKeySequence(Qt::CTRL | Qt::Key_0)});
    leave_full_screen_action = make_key_action(this, {QKeySequence(Qt::Key_Escape)});
    leave_full_screen_action->setEnabled(false);
    scroll_down_action = make_key_action(this, {QKeySequence(Qt::Key_Down)});
    scroll_down_action->setEnabled(false);
    QObject::connect(layout_timer, &QTimer::timeout, this, [this] { relayout(); });
}

void ReaderWindow::show_fetching(const QString& link) {
    setWindowTitle(reader_caption() + QStringLiteral(" — 正在获取… ") + link);
    content_box->viewport()->setCursor(Qt::BusyCursor);
}

void ReaderWindow::show_fetched() {
    setWindowTitle(reader_caption());
    content_box->viewport()->unsetCursor();
}

void ReaderWindow::show_fetch_failed(const QString& reason) {
    setWindowTitle(reader_caption() + QStringLiteral(" — 获取失败：") + reason);
    content_box->viewport()->unsetCursor();
}

void ReaderWindow::show_state(const QString& text, bool busy) {
    state_line->showMessage(text);
    busy_indicator->setVisible(busy);
}

void ReaderWindow::relayout() {
    // Outer sizes, frame included, as the layout was designed.
    const int width = frameGeometry().width();
    const int height = frameGeometry().height();
    content_box->resize(width - CONTENT_MARGIN_WIDTH, height - CONTENT_MARGIN_HEIGHT);
    link_box->move(link_box->x(), height - BOTTOM_ROW_OFFSET);
    fetch_button->move(fetch_button->x(), height - BOTTOM_ROW_OFFSET);
    next_page_button->move(fetch_button->x() + NEXT_PAGE_BUTTON_SHIFT, fetch_button->y());
    download_button->move(fetch_button->x() + DOWNLOAD_BUTTON_SHIFT, fetch_button->y());
    state_line->setGeometry(0, this->height() - STATE_LINE_HEIGHT, this->width(),
                            STATE_LINE_HEIGHT);
}

bool ReaderWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool focus_event = event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut;
    // A popup, such as the box's own context menu, takes the keyboard for a
    // moment but leaves the focus with the box: pasting through it must not
    // meet the placeholder.
    if (watched == link_box && focus_event &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (event->type() == QEvent::FocusIn && on_link_focus_in) on_link_focus_in();
        if (event->type() == QEvent::FocusOut && on_link_focus_out) on_link_focus_out();
    }
    return QWidget::eventFilter(watched, event);
}

void ReaderWindow::closeEvent(QCloseEvent* event) {
    if (on_close) on_close();
    QWidget::closeEvent(event);
}

}  // namespace novel
