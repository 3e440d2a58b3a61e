#include "app/reading_settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/reader_settings.h"

namespace novel {

ReadingSettingsDialog::ReadingSettingsDialog(const ReadingLook& current, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("阅读设置"));

    theme_box = new QComboBox(this);
    for (const ReadingTheme theme : READING_THEMES) {
        theme_box->addItem(theme_name(theme), static_cast<int>(theme));
    }
    theme_box->setCurrentIndex(static_cast<int>(current.theme));

    family_box = new QComboBox(this);
    family_box->addItems(QFontDatabase::families(QFontDatabase::SimplifiedChinese));
    // A face saved earlier and since removed still shows what is in use.
    if (family_box->findText(current.family) < 0) family_box->addItem(current.family);
    family_box->setCurrentText(current.family);

    size_box = new QSpinBox(this);
    size_box->setRange(SMALLEST_TEXT_SIZE, LARGEST_TEXT_SIZE);
    size_box->setSuffix(QStringLiteral(" 像素"));
    size_box->setValue(current.pixel_size);

    line_height_box = new QSpinBox(this);
    line_height_box->setRange(SMALLEST_LINE_HEIGHT, LARGEST_LINE_HEIGHT);
    line_height_box->setSingleStep(10);
    line_height_box->setSuffix(QStringLiteral(" %"));
    line_height_box->setValue(current.line_height);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("主题"), theme_box);
    form->addRow(QStringLiteral("字体"), family_box);
    form->addRow(QStringLiteral("字号"), size_box);
    form->addRow(QStringLiteral("行距"), line_height_box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

ReadingLook ReadingSettingsDialog::chosen_look() const {
    return {.family = family_box->currentText(),
            .pixel_size = size_box->value(),
            .line_height = line_height_box->value(),
            .theme = static_cast<ReadingTheme>(theme_box->currentData().toInt())};
}

}  // namespace novel
