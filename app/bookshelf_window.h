#pragma once
// 「书架」: the books the library keeps, one row each, and what can be done
// with one. It holds no logic: the bookshelf controller fills and answers it.

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace novel {

// The columns of a book's row.
enum BookshelfColumn {
    name_column,
    author_column,
    pages_column,
    newest_column,
    unread_column,
    read_column
};

class BookshelfWindow final : public QWidget {
public:
    BookshelfWindow();

    QTreeWidget* books;
    QPushButton* open_button;        // 「打开」, or a double-click on the row
    QPushButton* chapters_button;    // 「目录」
    QPushButton* remove_button;      // 「删除」
    QPushButton* export_button;      // 「导出…」
    QComboBox* format_box;           // EPUB, TXT
    QComboBox* encoding_box;         // for TXT: GBK, UTF-8, GB18030
    QComboBox* script_box;           // 简体, 繁体
    QLabel* note;                    // what the last action came to
    QPushButton* update_button;      // 「检查更新」: the selected book
    QPushButton* update_all_button;  // 「全部检查更新」: every book
    QCheckBox* export_again_box;     // 「更新后重新导出」: each updated book's last export
};

// 「目录」: a book's stored pages in chain order; a double-click jumps there.
class ChapterListDialog final : public QDialog {
public:
    explicit ChapterListDialog(QWidget* parent);
    QListWidget* chapters;
};

}  // namespace novel
