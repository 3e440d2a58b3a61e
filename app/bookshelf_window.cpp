#include "app/bookshelf_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace novel {

BookshelfWindow::BookshelfWindow() {
    setWindowTitle(QStringLiteral("书架"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(720, 420);

    books = new QTreeWidget(this);
    books->setRootIsDecorated(false);
    books->setHeaderLabels({QStringLiteral("书名"), QStringLiteral("作者"),
                            QStringLiteral("已存页数"), QStringLiteral("最新章节"),
                            QStringLiteral("未读"), QStringLiteral("上次读到")});
    books->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    open_button = new QPushButton(QStringLiteral("打开"), this);
    chapters_button = new QPushButton(QStringLiteral("目录"), this);
    remove_button = new QPushButton(QStringLiteral("删除"), this);
    export_button = new QPushButton(QStringLiteral("导出…"), this);
    format_box = new QComboBox(this);
    format_box->addItems({QStringLiteral("EPUB"), QStringLiteral("TXT")});
    encoding_box = new QComboBox(this);
    encoding_box->addItems(
        {QStringLiteral("GBK"), QStringLiteral("UTF-8"), QStringLiteral("GB18030")});
    script_box = new QComboBox(this);
    script_box->addItems({QStringLiteral("简体"), QStringLiteral("繁体")});
    update_button = new QPushButton(QStringLiteral("检查更新"), this);
    update_button->setToolTip(QStringLiteral("获取选中的书的新章节"));
    update_all_button = new QPushButton(QStringLiteral("全部检查更新"), this);
    export_again_box = new QCheckBox(QStringLiteral("更新后重新导出"), this);
    export_again_box->setToolTip(
        QStringLiteral("有新章节的书按上次导出的文件、格式和编码重新导出"));
    note = new QLabel(this);
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QHBoxLayout;
    for (QWidget* control :
         std::initializer_list<QWidget*>{open_button, chapters_button, remove_button, format_box,
                                         encoding_box, script_box, export_button}) {
        buttons->addWidget(control);
    }
    buttons->addStretch();
    // Following books is a row of its own, apart from what is done to one book.
    auto* updates = new QHBoxLayout;
    updates->addWidget(update_button);
    updates->addWidget(update_all_button);
    updates->addWidget(export_again_box);
    updates->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(books);
    layout->addLayout(buttons);
    layout->addLayout(updates);
    layout->addWidget(note);
}

ChapterListDialog::ChapterListDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("目录"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(360, 480);
    chapters = new QListWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chapters);
}

}  // namespace novel
