#pragma once
// The reader window's content box: shows a chapter's GBK text, read-only.

#include <QPlainTextEdit>
#include <functional>
#include <string_view>

class QAction;

namespace novel {

class ContentBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ContentBox(QWidget* parent);

    // Replaces the whole content; CR LF pairs become line breaks.
    void show_gbk_text(std::string_view text);

    // The face and weight stay; only the size changes.
    void set_text_pixel_size(int pixels);

    // "上一章（已读）" and "下一章（已读）": at the end of the box's context
    // menu, and Alt+Left and Alt+Right anywhere in the window.
    QAction* back_action;
    QAction* forward_action;
    // 「刷新」 in the menu, F5 anywhere in the window: the shown page again.
    QAction* refresh_action;

    // Ctrl with the wheel: whole notches, away from the user positive.
    std::function<void(int notches)> on_zoom_wheel;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int wheel_remainder_ = 0;  // fine-grained wheels send parts of a notch
};

}  // namespace novel
