#pragma once
// The reader window's content box: shows a chapter's GBK text, read-only,
// laid out for reading (see reading_view.h); copying gives the chapter's own
// text.

#include <QTextEdit>
#include <functional>
#include <string_view>

#include "app/reading_look.h"
#include "app/reading_view.h"

class QAction;
class QActionGroup;
class QMimeData;

namespace novel {

class ContentBox final : public QTextEdit {
    Q_OBJECT

public:
    explicit ContentBox(QWidget* parent);

    // Replaces the whole content; CR LF pairs become line breaks.
    void show_gbk_text(std::string_view text);
    // The chapter as it was given, with its line breaks as '\n': what copying gives.
    [[nodiscard]] const QString& chapter_text() const { return chapter_; }

    // The face and weight stay; only the size changes.
    void set_text_pixel_size(int pixels);
    void set_look(const ReadingLook& look);
    [[nodiscard]] const ReadingLook& look() const { return look_; }
    void set_show_site_additions(bool show);

    // "上一章（已读）" and "下一章（已读）": at the end of the box's context
    // menu, and Alt+Left and Alt+Right anywhere in the window.
    QAction* back_action;
    QAction* forward_action;
    // 「刷新」 in the menu, F5 anywhere in the window: the shown page again.
    QAction* refresh_action;
    // Further entries of the menu: 「显示网站附加文字」 (checkable), the
    // three themes (one checked), 「阅读设置」, 「全局下键翻页」 (checkable),
    // 「全屏」 (F11).
    QAction* site_additions_action;
    QActionGroup* theme_actions;
    QAction* settings_action;
    QAction* global_down_action;
    QAction* full_screen_action;

    // Ctrl with the wheel: whole notches, away from the user positive.
    std::function<void(int notches)> on_zoom_wheel;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    [[nodiscard]] QMimeData* createMimeDataFromSelection() const override;

private:
    void lay_out_text();
    void fit_side_margins();

    int wheel_remainder_ = 0;  // fine-grained wheels send parts of a notch
    QString chapter_;
    ReadingView view_;
    ReadingLook look_;
    bool show_site_additions_ = false;
    int side_margin_ = -1;
};

}  // namespace novel
