#pragma once
// Builders for the controls both windows lay out by pixel: each control gets
// its table name as its object name, so handlers and tests find it by name.

#include <QColor>
#include <QRect>
#include <QString>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace novel {

[[nodiscard]] QPushButton* make_button(QWidget* parent, std::string_view name,
                                       const QString& caption, const QRect& place);

// A label with a transparent background: the window shows through.
QLabel* make_label(QWidget* parent, std::string_view name, const QString& caption,
                   const QRect& place);

// A single-line edit box, text in text_colour on white.
[[nodiscard]] QLineEdit* make_edit_box(QWidget* parent, std::string_view name, const QRect& place,
                                       const QColor& text_colour);

}  // namespace novel
