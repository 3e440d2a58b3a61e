#pragma once
// The reader window and its controls. It holds no reading logic: the reader
// controller reacts to its events and tells it what to show.

#include <QEvent>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QAction;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

namespace novel {

class ContentBox;

// A hot-key press on its way to the hot-key label: the identifier and a
// second integer, as the label's handler receives them.
class HotKeyNotification final : public QEvent {
public:
    HotKeyNotification(std::int32_t identifier, std::int32_t second);
    [[nodiscard]] static QEvent::Type event_type();
    [[nodiscard]] std::int32_t identifier() const { return identifier_; }
    [[nodiscard]] std::int32_t second() const { return second_; }

private:
    std::int32_t identifier_;
    std::int32_t second_;
};

// 标签1: never shown; the receiver of hot-key notifications.
class HotKeyLabel final : public QLabel {
public:
    explicit HotKeyLabel(QWidget* parent);
    std::function<void(std::int32_t identifier, std::int32_t second)> on_notification;

protected:
    bool event(QEvent* event) override;
};

class ReaderWindow final : public QWidget {
public:
    ReaderWindow();

    ContentBox* content_box;
    QLineEdit* link_box;
    QPushButton* fetch_button;
    QPushButton* download_button;
    QPushButton* next_page_button;
    // 「书架」: the bookshelf window; Ctrl+B as well.
    QPushButton* bookshelf_button;
    QAction* bookshelf_action;
    // Under the content box: what the reading is doing or did.
    QStatusBar* state_line;
    QProgressBar* busy_indicator;
    QTimer* layout_timer;
    HotKeyLabel* hot_key_label;

    // The content box's text size, anywhere in the window: Ctrl+= or Ctrl++,
    // Ctrl+- and Ctrl+0.
    QAction* larger_text_action;
    QAction* smaller_text_action;
    QAction* default_text_action;
    // Esc: leaves full screen; enabled only there.
    QAction* leave_full_screen_action;
    // Down while the window has the keyboard, when the global key is off:
    // scrolls the content box a line.
    QAction* scroll_down_action;

    std::function<void()> on_link_focus_in;
    std::function<void()> on_link_focus_out;
    std::function<void()> on_close;

    // What the window says about the reading under way, in its title and
    // its cursor; none of these blocks.
    void show_fetching(const QString& link);
    void show_fetched();
    void show_fetch_failed(const QString& reason);
    // The state line; busy shows the indicator beside it.
    void show_state(const QString& text, bool busy);

    // 时钟1, every 100 ms: the content box and the bottom row follow the
    // window's outer size.
    void relayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace novel
