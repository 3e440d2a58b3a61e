#pragma once
// 「阅读设置」: the reading view's theme, face, size and line height. It only
// shows and hands back a look; the reader controller applies and keeps it.

#include <QDialog>

#include "app/reading_look.h"

class QComboBox;
class QSpinBox;

namespace novel {

class ReadingSettingsDialog final : public QDialog {
public:
    ReadingSettingsDialog(const ReadingLook& current, QWidget* parent);

    [[nodiscard]] ReadingLook chosen_look() const;

    QComboBox* theme_box;
    QComboBox* family_box;  // the installed faces that cover Chinese
    QSpinBox* size_box;
    QSpinBox* line_height_box;
};

}  // namespace novel
