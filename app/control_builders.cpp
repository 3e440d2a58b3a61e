#include "app/control_builders.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "app/gbk_qstring.h"

namespace novel {

QPushButton* make_button(QWidget* parent, std::string_view name, const QString& caption,
                         const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(qstring_from_utf8(name));
    button->setGeometry(place);
    return button;
}

QLabel* make_label(QWidget* parent, std::string_view name, const QString& caption,
                   const QRect& place) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(qstring_from_utf8(name));
    label->setGeometry(place);
    label->setAutoFillBackground(false);
    return label;
}

QLineEdit* make_edit_box(QWidget* parent, std::string_view name, const QRect& place,
                         const QColor& text_colour) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(qstring_from_utf8(name));
    box->setGeometry(place);
    QPalette colours = box->palette();
    colours.setColor(QPalette::Text, text_colour);
    colours.setColor(QPalette::Base, Qt::white);
    box->setPalette(colours);
    return box;
}

}  // namespace novel
