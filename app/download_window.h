#pragma once
// The download window and the instructions window: controls only; the
// bindings hand their events to the download handlers.

#include <QDialog>
#include <QWidget>

class QLineEdit;
class QPushButton;

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
};

class InstructionsWindow final : public QDialog {
public:
    InstructionsWindow();
};

// The designed sizes are outer sizes: once a shown window's frame is known,
// its inner size gives way to the frame. Without a frame nothing changes.
void fit_outer_size(QWidget* window, QSize outer, bool fixed);

}  // namespace novel
