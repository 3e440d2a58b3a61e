#include "app/download_controller.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <memory>
#include <utility>

#include "app/download_window.h"
#include "app/gbk_qstring.h"
#include "app/reader_settings.h"
#include "download/download_messages.h"
#include "download/fetch_ahead.h"
#include "download/journal.h"
#include "download/output_folder.h"
#include "download/progress_figures.h"
#include "library/library.h"
#include "platform/files.h"

namespace novel {
namespace {

// The run's pages into the library on the run's own thread, over a
// connection of its own. A library that fails is told about once and then
// left alone: the download goes on regardless.
class LibraryKeeper {
public:
    explicit LibraryKeeper(std::string path) : path_(std::move(path)) {}

    // The failure's words when this page is the first that could not be kept.
    [[nodiscard]] std::optional<QString> keep(const WrittenPage& written) {
        if (path_.empty() || failed_) return std::nullopt;
        if (!library_) {
            OpenResult opened = open_library(path_);
            if (!opened.library) return fail(opened.status.message);
            library_ = std::move(opened.library);
        }
        const BookInfo book =
            extract_book_info(written.page, chapter_index_of(written.link).book_number);
        const StoreResult stored = library_->store_page(
            {.address = written.link, .chapter = written.chapter, .book = book});
        if (stored.outcome == StoreOutcome::failed &&
            stored.status.error != LibraryError::bad_address) {
            return fail(stored.status.message);
        }
        return std::nullopt;
    }

private:
    QString fail(const std::string& message) {
        failed_ = true;
        return QStringLiteral("下载的章节无法存入书库（下载照常进行）：%1")
            .arg(QString::fromStdString(message));
    }

    std::string path_;
    std::unique_ptr<Library> library_;
    bool failed_ = false;
};

QString size_label(std::uint64_t bytes) { return QString::fromStdString(size_text(bytes)); }

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
    choose_output_path();

    QObject::connect(window_->current_position_button, &QPushButton::clicked, this,
                     [this] { fill_current_index(); });
    QObject::connect(window_->start_button, &QPushButton::clicked, this,
                     [this] { start_or_stop(); });
    QObject::connect(window_->continue_button, &QPushButton::clicked, this,
                     [this] { continue_download(); });
    clock_.setInterval(1000);
    QObject::connect(&clock_, &QTimer::timeout, this, [this] { show_progress(last_progress_); });
    window_->fetch_ahead_box->setValue(settings_->fetch_ahead());
    QObject::connect(window_->fetch_ahead_box, &QSpinBox::valueChanged, this,
                     [this](int pages) { settings_->save_fetch_ahead(pages); });
    window_->on_close = [this] { job_.abandon(); };
}

DownloadController::~DownloadController() = default;

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
        job_.request_stop();  // the run ends at once; its result comes back as usual
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
    start([request, path = output_path_](PageSource& pages, const DownloadHooks& hooks,
                                         std::stop_token stop) {
        return download_range(request, pages, {.output_path = path}, hooks, std::move(stop));
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
    start(
        [path = output_path_](PageSource& pages, const DownloadHooks& hooks, std::stop_token stop) {
            return continue_range(pages, {.output_path = path}, hooks, std::move(stop));
        });
}

void DownloadController::start(
    std::function<RangeResult(PageSource&, const DownloadHooks&, std::stop_token)> job) {
    running_ = true;
    last_progress_ = {};
    pages_at_start_.reset();
    elapsed_.start();
    clock_.start();
    window_->show_running(true);
    window_->start_button->setEnabled(true);
    show_progress(last_progress_);

    // What the run posts reaches this controller only while its job handle,
    // and so the controller, is alive.
    job_.start(
        [job = std::move(job), window = window_->fetch_ahead_box->value(),
         library_path = seams_.library_file, controller = this](const JobLink& run) {
            LibraryKeeper keeper(library_path);
            const DownloadHooks hooks{
                .progress =
                    [&run, controller](const DownloadProgress& progress) {
                        run.post([controller, progress] { controller->show_progress(progress); });
                    },
                .page_written =
                    [&run, &keeper, controller](const WrittenPage& written) {
                        if (std::optional<QString> failure = keeper.keep(written)) {
                            run.post([controller, text = std::move(*failure)] {
                                controller->seams_.show_message(text);
                            });
                        }
                    },
            };
            FetchAhead pages(window);
            return job(pages, hooks, run.stop_token());
        },
        [this](const RangeResult& result) { show_result(result); });
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
                       .arg(size_label(progress.file_bytes))
                       .arg(rate, 0, 'f', 1)
                       .arg(clock_text(elapsed_.elapsed()));
    if (progress.waiting) {
        text += QStringLiteral("第%1次重试，%2秒后开始：%3")
                    .arg(progress.waiting->retry)
                    .arg(seconds_left(progress.waiting->left))
                    .arg(qstring_from_gbk(progress.waiting->reason));
    } else if (!progress.last_title.empty()) {
        text += QStringLiteral("最新一页：") + qstring_from_gbk(progress.last_title);
    } else {
        text += QStringLiteral("正在获取：") + qstring_from_gbk(progress.fetching);
    }
    window_->progress_label->setText(text);
}

void DownloadController::show_result(const RangeResult& result) {
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
