#include "app/content_box.h"

#include <QFont>
#include <QFontDatabase>
#include <QPalette>

#include "app/gbk_qstring.h"

namespace novel {

namespace {

// The designed face where the system has it, else a CJK face that is
// installed here, so that Chinese never shows as empty boxes.
QString content_font_family() {
    const QString designed = QStringLiteral("微软雅黑");
    if (QFontDatabase::hasFamily(designed)) return designed;
    return QStringLiteral("Noto Sans CJK SC");
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
}

void ContentBox::show_gbk_text(std::string_view text) {
    QString shown = qstring_from_gbk(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(shown);
}

}  // namespace novel
