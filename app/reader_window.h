#pragma once
// The reader window and its controls. It holds no logic: the bindings hand
// its events to the reader handlers.

#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;
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
    QTimer* layout_timer;
    HotKeyLabel* hot_key_label;

    std::function<void()> on_link_focus_in;
    std::function<void()> on_link_focus_out;
    std::function<void()> on_close;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace novel
