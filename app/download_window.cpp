#include "app/download_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <mutex>
#include <string_view>

#include "app/control_builders.h"
#include "app/gbk_qstring.h"
#include "download/fetch_ahead.h"

// Resources of a static library are registered by hand, outside any namespace.
static void register_window_resources() { Q_INIT_RESOURCE(windows_resources); }

namespace novel {

DownloadWindow::DownloadWindow() {
    setWindowTitle(QStringLiteral("下载"));
    setAttribute(Qt::WA_DeleteOnClose);
    move(50, 50);
    setFixedSize(320, 292);

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

    storage_note = make_label(this, "透明标签3", QStringLiteral("默认同目录保存（文本.txt）"),
                              {88, 128, 152, 32});

    // The progress row, below the designed controls.
    continue_button = make_button(this, "继续下载", QStringLiteral("继续下载"), {200, 166, 88, 28});
    continue_button->hide();  // offered only when there is a run to continue
    make_label(this, "预读页数标签", QStringLiteral("同时获取："), {8, 166, 72, 28});
    fetch_ahead_box = new QSpinBox(this);
    fetch_ahead_box->setObjectName(QStringLiteral("预读页数"));
    fetch_ahead_box->setGeometry(80, 166, 56, 28);
    fetch_ahead_box->setRange(1, kMostFetchAhead);
    fetch_ahead_box->setValue(kDefaultFetchAhead);
    fetch_ahead_box->setSuffix(QStringLiteral(" 页"));
    fetch_ahead_box->setToolTip(QStringLiteral("沿着下一页链接同时获取的页数；1 为逐页获取"));
    progress_bar = new QProgressBar(this);
    progress_bar->setObjectName(QStringLiteral("进度条"));
    progress_bar->setGeometry(8, 198, 304, 16);
    progress_bar->setTextVisible(false);
    progress_bar->setRange(0, 1);
    progress_label = make_label(this, "进度说明", QString(), {8, 216, 304, 40});
    progress_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // How and where the file is written, under the progress row.
    save_as_button = make_button(this, "保存为", QStringLiteral("保存为…"), {8, 258, 64, 28});
    encoding_box = new QComboBox(this);
    encoding_box->setObjectName(QStringLiteral("编码"));
    encoding_box->setGeometry(78, 258, 76, 28);
    encoding_box->addItem(QStringLiteral("GBK"));
    encoding_box->addItem(QStringLiteral("UTF-8"));
    encoding_box->setToolTip(QStringLiteral("文本文件的编码"));
    epub_box = new QCheckBox(QStringLiteral("完成后导出 EPUB"), this);
    epub_box->setObjectName(QStringLiteral("导出EPUB"));
    epub_box->setGeometry(162, 258, 150, 28);
}

void DownloadWindow::show_fraction(int done, int total, const QString& text) {
    progress_bar->setRange(0, total);
    progress_bar->setValue(done);
    progress_bar->setFormat(text);
    progress_bar->setTextVisible(true);
}

void DownloadWindow::show_running(bool running) {
    start_button->setText(running ? QStringLiteral("停止下载") : QStringLiteral("开始下载"));
    // Busy until the run tells how far it is within a range of chapters.
    progress_bar->setRange(0, running ? 0 : 1);
    progress_bar->setTextVisible(false);
    for (QWidget* control : std::initializer_list<QWidget*>{
             book_number_box, start_chapter_box, end_chapter_box, current_position_button,
             fetch_ahead_box, save_as_button, encoding_box, epub_box}) {
        control->setEnabled(!running);
    }
    if (running) continue_button->hide();
}

void DownloadWindow::closeEvent(QCloseEvent* event) {
    if (may_close && !may_close()) {
        event->ignore();
        return;
    }
    if (on_close) on_close();
    QWidget::closeEvent(event);
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
