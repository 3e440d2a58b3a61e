#pragma once
// The download window and the instructions window: controls only; the
// download controller reacts to their events.

#include <QDialog>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace novel {

class DownloadWindow final : public QWidget {
public:
    DownloadWindow();

    QLineEdit* book_number_box;
    QLineEdit* start_chapter_box;
    QLineEdit* end_chapter_box;
    QPushButton* current_position_button;
    QPushButton* start_button;
    QPushButton* instructions_button;
    QLabel* storage_note;
    QPushButton* continue_button;
    QSpinBox* fetch_ahead_box;  // pages fetched at once along the chain
    QProgressBar* progress_bar;
    QLabel* progress_label;
    QPushButton* save_as_button;  // 「保存为…」: the file this book's downloads go to
    QComboBox* encoding_box;      // GBK (0) or UTF-8 (1)
    QCheckBox* epub_box;          // 「完成后导出 EPUB」

    // Asked before the window closes; false keeps it open.
    std::function<bool()> may_close;
    std::function<void()> on_close;

    // While a run goes, "开始下载" reads "停止下载", the bar is busy and the
    // range cannot be changed.
    void show_running(bool running);
    // The bar fills up over a range of plain chapter numbers.
    void show_fraction(int done, int total, const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
};

class InstructionsWindow final : public QDialog {
public:
    InstructionsWindow();
};

// The designed sizes are outer sizes: once a shown window's frame is known,
// its inner size gives way to the frame. Without a frame nothing changes.
void fit_outer_size(QWidget* window, QSize outer, bool fixed);

}  // namespace novel
