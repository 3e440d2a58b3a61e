#include "app/download_window.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <mutex>
#include <string_view>

#include "app/control_builders.h"
#include "app/gbk_qstring.h"

// Resources of a static library are registered by hand, outside any namespace.
static void register_window_resources() { Q_INIT_RESOURCE(windows_resources); }

namespace novel {

DownloadWindow::DownloadWindow() {
    setWindowTitle(QStringLiteral("下载"));
    setAttribute(Qt::WA_DeleteOnClose);
    move(50, 50);
    setFixedSize(320, 202);

    make_label(this, "输入书号", QStringLiteral("请输入书号："), {8, 8, 72, 32});
    book_number_box = make_edit_box(this, "编辑框1", {80, 8, 80, 32}, Qt::black);
    current_position_button =
        make_button(this, "按钮1", QStringLiteral("取当前阅读序号"), {192, 8, 96, 32});
    make_label(this, "透明标签1", QStringLiteral("起始章节序号："), {8, 48, 80, 32});
    start_chapter_box = make_edit_box(this, "编辑框2", {88, 48, 80, 32}, Qt::black);
    instructions_button = make_button(this, "按钮3", QStringLiteral("下载说明"), {200, 56, 88, 32});
    make_label(this, "透明标签2", QStringLiteral("结束章数序号："), {8, 88, 80, 32});
    end_chapter_box = make_edit_box(this, "编辑框3", {88, 88, 80, 32}, Qt::black);
    start_button = make_button(this, "按钮2", QStringLiteral("开始下载"), {200, 96, 88, 32});

    // The only member of its group; nothing reads it.
    auto* same_file = new QRadioButton(QStringLiteral("同一文本"), this);
    same_file->setObjectName(QStringLiteral("单选框2"));
    same_file->setGeometry(8, 128, 88, 32);
    same_file->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(same_file);

    make_label(this, "透明标签3", QStringLiteral("默认同目录保存（文本.txt）"), {88, 128, 152, 32});
}

InstructionsWindow::InstructionsWindow() {
    static std::once_flag resources_registered;
    std::call_once(resources_registered, register_window_resources);

    setWindowTitle(QStringLiteral("下载说明"));
    move(50, 50);
    setFixedSize(364, 200);

    // Larger than the client area on purpose: the window shows its top-left part.
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("图片框1"));
    picture->setGeometry(0, 0, 376, 224);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(QStringLiteral(":/instructions.png")));
}

void fit_outer_size(QWidget* window, QSize outer, bool fixed) {
    const QSize frame = window->frameGeometry().size() - window->size();
    if (frame.width() <= 0 && frame.height() <= 0) return;
    const QSize inner = outer - frame;
    if (fixed) {
        window->setFixedSize(inner);
    } else {
        window->resize(inner);
    }
}

}  // namespace novel
