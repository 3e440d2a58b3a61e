#include "app/content_box.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontDatabase>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QWheelEvent>
#include <memory>

#include "app/gbk_qstring.h"

namespace novel {

namespace {

constexpr int WHEEL_NOTCH = 120;  // the angle of one notch, in eighths of a degree

// The designed face where the system has it, else a CJK face that is
// installed here, so that Chinese never shows as empty boxes.
QString content_font_family() {
    const QString designed = QStringLiteral("微软雅黑");
    if (QFontDatabase::hasFamily(designed)) return designed;
    return QStringLiteral("Noto Sans CJK SC");
}

QAction* make_history_action(QWidget* box, const QString& text, QKeyCombination key) {
    auto* action = new QAction(text, box);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setEnabled(false);
    box->addAction(action);
    return action;
}

QAction* make_switch(QObject* owner, const QString& text, bool on) {
    auto* action = new QAction(text, owner);
    action->setCheckable(true);
    action->setChecked(on);
    return action;
}

}  // namespace

ContentBox::ContentBox(QWidget* parent) : QTextEdit(parent) {
    look_.family = content_font_family();
    // The text is the chapter as the pipeline left it; editing it by hand
    // would only be overwritten by the next reading.
    setReadOnly(true);
    setAcceptRichText(false);

    back_action =
        make_history_action(this, QStringLiteral("上一章（已读）"), Qt::ALT | Qt::Key_Left);
    forward_action =
        make_history_action(this, QStringLiteral("下一章（已读）"), Qt::ALT | Qt::Key_Right);
    refresh_action = make_history_action(this, QStringLiteral("刷新"), Qt::Key_F5);

    site_additions_action = make_switch(this, QStringLiteral("显示网站附加文字"), false);
    theme_actions = new QActionGroup(this);
    for (const ReadingTheme theme : READING_THEMES) {
        QAction* action = make_switch(theme_actions, theme_name(theme), theme == look_.theme);
        action->setData(static_cast<int>(theme));
    }
    settings_action = new QAction(QStringLiteral("阅读设置"), this);
    global_down_action = make_switch(this, QStringLiteral("全局下键翻页"), true);
    full_screen_action = make_switch(this, QStringLiteral("全屏"), false);
    full_screen_action->setShortcut(Qt::Key_F11);
    full_screen_action->setShortcutContext(Qt::WindowShortcut);
    addAction(full_screen_action);
    set_look(look_);
}

void ContentBox::show_gbk_text(std::string_view text) {
    // Line breaks as the desktop writes them; every other character stays.
    chapter_ = qstring_from_gbk(text);
    chapter_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    chapter_.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lay_out_text();
}

void ContentBox::set_text_pixel_size(int pixels) {
    ReadingLook sized = look_;
    sized.pixel_size = pixels;
    set_look(sized);
}

void ContentBox::set_look(const ReadingLook& look) {
    look_ = look;
    QFont font(look_.family.isEmpty() ? content_font_family() : look_.family);
    font.setPixelSize(look_.pixel_size);
    font.setWeight(QFont::Normal);
    setFont(font);
    document()->setDefaultFont(font);
    const ThemeColours colours = theme_colours(look_.theme);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, colours.text);
    palette.setColor(QPalette::Base, colours.base);
    palette.setColor(QPalette::Highlight, colours.highlight);
    palette.setColor(QPalette::HighlightedText, colours.text);
    setPalette(palette);
    for (QAction* action : theme_actions->actions()) {
        action->setChecked(action->data().toInt() == static_cast<int>(look_.theme));
    }
    side_margin_ = -1;
    lay_out_text();
}

void ContentBox::set_show_site_additions(bool show) {
    show_site_additions_ = show;
    site_additions_action->setChecked(show);
    lay_out_text();
}

void ContentBox::lay_out_text() {
    view_ = make_reading_view(chapter_, {.show_site_additions = show_site_additions_});
    setPlainText(view_.text);
    QTextBlockFormat paragraph;
    paragraph.setLineHeight(look_.line_height, QTextBlockFormat::ProportionalHeight);
    // The same gap after every paragraph, whatever blank lines the chapter had.
    paragraph.setBottomMargin(look_.pixel_size * 0.8);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(paragraph);
    document()->setDocumentMargin(look_.pixel_size);
    side_margin_ = -1;
    fit_side_margins();
}

void ContentBox::fit_side_margins() {
    const int margin = side_margin(viewport()->width(), look_.pixel_size);
    if (margin == side_margin_) return;
    side_margin_ = margin;
    QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    frame.setLeftMargin(margin);
    frame.setRightMargin(margin);
    document()->rootFrame()->setFrameFormat(frame);
}

QMimeData* ContentBox::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    auto* copied = new QMimeData;
    copied->setText(
        chapter_text_behind(view_, chapter_, cursor.selectionStart(), cursor.selectionEnd()));
    return copied;
}

void ContentBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addSeparator();
    menu->addAction(back_action);
    menu->addAction(forward_action);
    menu->addAction(refresh_action);
    menu->addSeparator();
    menu->addActions(theme_actions->actions());
    menu->addAction(site_additions_action);
    menu->addAction(settings_action);
    menu->addSeparator();
    menu->addAction(global_down_action);
    menu->addAction(full_screen_action);
    menu->exec(event->globalPos());
}

void ContentBox::wheelEvent(QWheelEvent* event) {
    // The box's own zoom would switch the face to points; the size is ours.
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QTextEdit::wheelEvent(event);
        return;
    }
    wheel_remainder_ += event->angleDelta().y();
    const int notches = wheel_remainder_ / WHEEL_NOTCH;
    wheel_remainder_ %= WHEEL_NOTCH;
    if (notches != 0 && on_zoom_wheel) on_zoom_wheel(notches);
    event->accept();
}

void ContentBox::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    fit_side_margins();
}

}  // namespace novel
