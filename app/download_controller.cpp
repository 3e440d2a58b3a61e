#include "app/download_controller.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

#include "app/download_window.h"
#include "app/gbk_qstring.h"
#include "app/reader_settings.h"
#include "download/download_messages.h"
#include "download/fetch_ahead.h"
#include "download/journal.h"
#include "download/output_folder.h"
#include "platform/files.h"

namespace novel {
namespace {

QString size_text(std::uint64_t bytes) {
    if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(static_cast<double>(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString clock_text(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

DownloadController::DownloadController(DownloadWindow* window, const ProgramSeams& seams,
                                       std::function<std::string()> reader_link,
                                       ReaderSettings* settings)
    : window_(window), seams_(seams), reader_link_(std::move(reader_link)), settings_(settings) {
    worker_.setMaxThreadCount(1);
    choose_output_path();

    QObject::connect(window_->current_position_button, &QPushButton::clicked, this,
                     [this] { fill_current_index(); });
    QObject::connect(window_->start_button, &QPushButton::clicked, this,
                     [this] { start_or_stop(); });
    QObject::connect(window_->continue_button, &QPushButton::clicked, this,
                     [this] { continue_download(); });
    QObject::connect(&watcher_, &QFutureWatcher<RangeResult>::finished, this,
                     [this] { show_result(); });
    clock_.setInterval(1000);
    QObject::connect(&clock_, &QTimer::timeout, this, [this] { show_progress(last_progress_); });
    window_->fetch_ahead_box->setValue(settings_->fetch_ahead());
    QObject::connect(window_->fetch_ahead_box, &QSpinBox::valueChanged, this,
                     [this](int pages) { settings_->save_fetch_ahead(pages); });
    window_->on_close = [this] { stop_and_wait(); };
}

DownloadController::~DownloadController() { stop_and_wait(); }

void DownloadController::choose_output_path() {
    const ProgramDirectory program = program_directory();
    std::vector<std::string> fallbacks;
    for (const QStandardPaths::StandardLocation location :
         {QStandardPaths::DownloadLocation, QStandardPaths::HomeLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty()) fallbacks.push_back(folder.toStdString());
    }
    const std::optional<OutputFolder> folder =
        choose_output_folder(program.ok ? std::optional(program.path) : std::nullopt, fallbacks);
    if (!folder) {
        no_folder_reason_ = program.ok ? "Permission denied" : program.reason;
        return;
    }
    output_path_ = folder->path + "/" + std::string(OUTPUT_FILE_NAME);
    saved_elsewhere_ = !folder->beside_program;
    if (saved_elsewhere_) {
        // The note says where the file goes now; the whole path on hovering.
        QString shown = QString::fromStdString(folder->path);
        const QString home = QDir::homePath();
        if (shown.startsWith(home)) shown.replace(0, home.size(), QStringLiteral("~"));
        window_->storage_note->setText(QStringLiteral("保存到 %1（文本.txt）").arg(shown));
        window_->storage_note->setToolTip(QString::fromStdString(output_path_));
        window_->storage_note->setWordWrap(true);
    }
}

void DownloadController::stop_and_wait() {
    stop_.request_stop();
    watcher_.disconnect(this);
    worker_.waitForDone();
}

void DownloadController::take_current_index() {
    ChapterIndex index = chapter_index_of(reader_link_());
    current_book_number_ = std::move(index.book_number);
    current_chapter_number_ = std::move(index.chapter_number);
    offer_to_continue();
}

void DownloadController::fill_current_index() {
    window_->book_number_box->setText(qstring_from_gbk(current_book_number_));
    window_->start_chapter_box->setText(qstring_from_gbk(current_chapter_number_));
}

void DownloadController::start_or_stop() {
    if (running_) {
        stop_.request_stop();  // the run ends at once; its result comes back as usual
        window_->start_button->setEnabled(false);
        return;
    }
    seams_.show_message(qstring_from_gbk(start_message()));
    if (output_path_.empty()) {
        seams_.show_message(qstring_from_gbk(no_directory_message(no_folder_reason_)));
        return;
    }
    const RangeRequest request{.book = gbk_from_qstring(window_->book_number_box->text()),
                               .start = gbk_from_qstring(window_->start_chapter_box->text()),
                               .end = gbk_from_qstring(window_->end_chapter_box->text())};
    start([request, this](PageSource& pages, const DownloadHooks& hooks, std::stop_token stop) {
        return download_range(request, pages, {.output_path = output_path_}, hooks,
                              std::move(stop));
    });
}

void DownloadController::continue_download() {
    if (running_ || output_path_.empty()) return;
    if (const std::optional<Journal> journal = read_journal(output_path_)) {
        // The boxes show the range being continued.
        window_->book_number_box->setText(qstring_from_gbk(journal->state.book));
        window_->start_chapter_box->setText(qstring_from_gbk(journal->state.start));
        window_->end_chapter_box->setText(qstring_from_gbk(journal->state.end));
    }
    start([this](PageSource& pages, const DownloadHooks& hooks, std::stop_token stop) {
        return continue_range(pages, {.output_path = output_path_}, hooks, std::move(stop));
    });
}

void DownloadController::start(
    std::function<RangeResult(PageSource&, const DownloadHooks&, std::stop_token)> job) {
    running_ = true;
    stop_ = std::stop_source();
    last_progress_ = {};
    pages_at_start_.reset();
    elapsed_.start();
    clock_.start();
    window_->show_running(true);
    window_->start_button->setEnabled(true);
    show_progress(last_progress_);

    // Progress is made on the worker and shown here, on the window thread.
    DownloadHooks hooks{.progress = [this](const DownloadProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { show_progress(progress); }, Qt::QueuedConnection);
    }};
    watcher_.setFuture(QtConcurrent::run(
        &worker_, [job = std::move(job), hooks = std::move(hooks), stop = stop_.get_token(),
                   window = window_->fetch_ahead_box->value()] {
            FetchAhead pages(window);
            return job(pages, hooks, stop);
        }));
}

void DownloadController::show_progress(const DownloadProgress& progress) {
    last_progress_ = progress;
    const double seconds = static_cast<double>(elapsed_.elapsed()) / 1000.0;
    // A continued run starts with the pages of before: the rate is this run's.
    if (!pages_at_start_) pages_at_start_ = progress.pages;
    const double rate =
        seconds > 0 ? static_cast<double>(progress.pages - *pages_at_start_) / seconds : 0.0;
    QString text = QStringLiteral("已写入 %1 页 · %2 · %3 页/秒 · 用时 %4\n")
                       .arg(progress.pages)
                       .arg(size_text(progress.file_bytes))
                       .arg(rate, 0, 'f', 1)
                       .arg(clock_text(elapsed_.elapsed()));
    if (progress.waiting) {
        text += QStringLiteral("第%1次重试，%2秒后开始：%3")
                    .arg(progress.waiting->retry)
                    .arg((progress.waiting->left.count() + 999) / 1000)
                    .arg(qstring_from_gbk(progress.waiting->reason));
    } else if (!progress.last_title.empty()) {
        text += QStringLiteral("最新一页：") + qstring_from_gbk(progress.last_title);
    } else {
        text += QStringLiteral("正在获取：") + qstring_from_gbk(progress.fetching);
    }
    window_->progress_label->setText(text);
}

void DownloadController::show_result() {
    const RangeResult result = watcher_.result();
    running_ = false;
    clock_.stop();
    window_->show_running(false);
    window_->start_button->setEnabled(true);
    show_progress(last_progress_);
    offer_to_continue();
    const bool can_continue = !window_->continue_button->isHidden();
    QString message = qstring_from_gbk(final_message(result, output_path_, can_continue));
    // The first line says to look beside the program; when the file is not
    // there, the line after it says where it is.
    if (saved_elsewhere_ && result.end != RangeEnd::file_failed) {
        const qsizetype first_line_end = message.indexOf(QStringLiteral("\r\n"));
        const QString where =
            QStringLiteral("\r\n文件在：%1").arg(QString::fromStdString(output_path_));
        message.insert(first_line_end < 0 ? message.size() : first_line_end, where);
    }
    seams_.show_message(message);
}

void DownloadController::offer_to_continue() {
    const bool unfinished = !output_path_.empty() && read_journal(output_path_).has_value();
    window_->continue_button->setVisible(unfinished && !running_);
}

}  // namespace novel
