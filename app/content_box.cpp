#include "app/content_box.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontDatabase>
#include <QMenu>
#include <QPalette>
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

}  // namespace

ContentBox::ContentBox(QWidget* parent) : QPlainTextEdit(parent) {
    QFont font(content_font_family());
    font.setPixelSize(16);
    font.setWeight(QFont::Bold);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Text, Qt::black);
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
    // The text is the chapter as the pipeline left it; editing it by hand
    // would only be overwritten by the next reading.
    setReadOnly(true);

    back_action =
        make_history_action(this, QStringLiteral("上一章（已读）"), Qt::ALT | Qt::Key_Left);
    forward_action =
        make_history_action(this, QStringLiteral("下一章（已读）"), Qt::ALT | Qt::Key_Right);
    refresh_action = make_history_action(this, QStringLiteral("刷新"), Qt::Key_F5);
}

void ContentBox::show_gbk_text(std::string_view text) {
    QString shown = qstring_from_gbk(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(shown);
}

void ContentBox::set_text_pixel_size(int pixels) {
    QFont sized = font();
    sized.setPixelSize(pixels);
    setFont(sized);
}

void ContentBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addSeparator();
    menu->addAction(back_action);
    menu->addAction(forward_action);
    menu->addAction(refresh_action);
    menu->exec(event->globalPos());
}

void ContentBox::wheelEvent(QWheelEvent* event) {
    // The box's own zoom would switch the face to points; the size is ours.
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QPlainTextEdit::wheelEvent(event);
        return;
    }
    wheel_remainder_ += event->angleDelta().y();
    const int notches = wheel_remainder_ / WHEEL_NOTCH;
    wheel_remainder_ %= WHEEL_NOTCH;
    if (notches != 0 && on_zoom_wheel) on_zoom_wheel(notches);
    event->accept();
}

}  // namespace novel
