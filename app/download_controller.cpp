#include "app/download_controller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <chrono>
#include <fstream>
#include <memory>
#include <utility>

#include "app/download_endings.h"
#include "app/download_window.h"
#include "app/gbk_qstring.h"
#include "app/reader_settings.h"
#include "download/download_messages.h"
#include "download/fetch_ahead.h"
#include "download/journal.h"
#include "download/output_folder.h"
#include "download/progress_figures.h"
#include "download/range_checks.h"
#include "library/book_export.h"
#include "library/library.h"
#include "library/page_batcher.h"
#include "platform/files.h"
#include "platform/gbk.h"
#include "platform/utf8.h"

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
            batcher_.emplace(*library_);
        }
        const BookInfo book =
            extract_book_info(written.page, chapter_index_of(written.link).book_number);
        const LibraryStatus stored = batcher_->store({.address = written.link,
                                                      .chapter = written.chapter,
                                                      .book = book,
                                                      .fetched_at = seconds_now()});
        if (!stored.ok()) return fail(stored.message);
        return std::nullopt;
    }

    // Stores what still waits; the failure's words as keep's.
    [[nodiscard]] std::optional<QString> finish() {
        if (!batcher_ || failed_) return std::nullopt;
        if (const LibraryStatus stored = batcher_->flush(); !stored.ok()) {
            return fail(stored.message);
        }
        return std::nullopt;
    }

    // The run's own connection, once a page has been kept; else nullptr.
    [[nodiscard]] Library* library() const { return library_.get(); }

private:
    QString fail(const std::string& message) {
        failed_ = true;
        return QStringLiteral("下载的章节无法存入书库（下载照常进行）：%1")
            .arg(QString::fromStdString(message));
    }

    static std::int64_t seconds_now() {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    std::string path_;
    std::unique_ptr<Library> library_;
    std::optional<PageBatcher> batcher_;  // after library_: it goes first
    bool failed_ = false;
};

QString size_label(std::uint64_t bytes) { return QString::fromStdString(size_text(bytes)); }

QString clock_label(qint64 milliseconds) {
    return QString::fromStdString(clock_text(milliseconds / 1000));
}

constexpr std::string_view kEncodingChoice = "download/encoding";
constexpr std::string_view kEpubChoice = "download/epub";

QString doubt_text(RangeDoubt doubt) {
    switch (doubt) {
        case RangeDoubt::book_empty:
            return QStringLiteral("书号为空：将无法找到要下载的书");
        case RangeDoubt::start_empty:
            return QStringLiteral("起始章节为空：将无法找到起始页");
        case RangeDoubt::end_empty:
            return QStringLiteral("结束章节为空：将一直下载到本书最新一章");
        case RangeDoubt::start_not_number:
            return QStringLiteral("起始章节不是数字：将按所填内容拼出起始页地址");
        case RangeDoubt::end_not_number:
            return QStringLiteral(
                "结束章节不是数字：可能永远到达不了结束章节，将一直下载到本书最新一章");
        case RangeDoubt::start_after_end:
            return QStringLiteral(
                "起始章节大于结束章节：到达不了结束章节，将一直下载到本书最新一章");
    }
    return {};
}

// The file begins with this text as a download writes it (after its CR LF);
// only that many bytes are read.
bool file_begins_with(const std::string& path, const std::string& text) {
    std::ifstream file(path, std::ios::binary);
    std::string head(text.size() + 2, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    return file.gcount() == static_cast<std::streamsize>(head.size()) && head == "\r\n" + text;
}

// The EPUB beside the text file, from the run's pages in the library.
void export_epub(Library* library, const std::string& book, const std::string& text_path,
                 DownloadController::RunOutcome* outcome, std::stop_token stop) {
    if (library == nullptr) {
        outcome->epub_failure = "书库不可用";
        return;
    }
    const BookLookup found = library->book(book);
    const std::string name = found.found ? utf8_from_gbk(found.found->name) : book;
    const std::string folder =
        QFileInfo(QString::fromStdString(text_path)).absolutePath().toStdString();
    const std::string path = folder + "/" + name + ".epub";
    const BookExportResult exported =
        export_book(*library, book, {.path = path, .format = ExportFormat::epub}, std::move(stop));
    if (exported.end == BookExportEnd::written) {
        outcome->epub_path = path;
    } else {
        outcome->epub_failure = exported.reason.empty() ? "没有可导出的章节" : exported.reason;
    }
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
    window_->encoding_box->setCurrentIndex(settings_->choice(kEncodingChoice, 0) == 1 ? 1 : 0);
    QObject::connect(window_->encoding_box, &QComboBox::currentIndexChanged, this,
                     [this](int index) { settings_->save_choice(kEncodingChoice, index); });
    window_->epub_box->setChecked(settings_->choice(kEpubChoice, 0) == 1);
    QObject::connect(window_->epub_box, &QCheckBox::toggled, this,
                     [this](bool on) { settings_->save_choice(kEpubChoice, on ? 1 : 0); });
    QObject::connect(window_->save_as_button, &QPushButton::clicked, this,
                     [this] { choose_save_path(); });
    window_->may_close = [this] { return may_close(); };
    window_->on_close = [this] { job_.abandon(); };
}

bool DownloadController::may_close() {
    if (!running_) return true;
    const int choice = seams_.choose(
        QStringLiteral("正在下载，关闭窗口前要停止下载吗？"),
        {QStringLiteral("停止下载"), QStringLiteral("后台继续"), QStringLiteral("取消")});
    if (choice == 0) return true;  // closing abandons the run, which stops at once
    if (choice == 1) continue_in_background();
    return false;
}

void DownloadController::continue_in_background() {
    if (!running_) return;
    in_background_ = true;
    window_->hide();
    show_progress(last_progress_);
}

void DownloadController::stop_and_close() {
    window_->may_close = nullptr;
    window_->close();
}

std::string DownloadController::path_for_book(const std::string& book) const {
    const QString chosen = settings_->download_path_of_book(book);
    return chosen.isEmpty() ? output_path_ : chosen.toStdString();
}

DownloadOptions DownloadController::options_for(const std::string& path) const {
    return {.output_path = path, .utf8 = window_->encoding_box->currentIndex() == 1};
}

QString DownloadController::proposed_path(const std::string& book, const QString& folder) const {
    const std::string name = book_name ? book_name(book) : book;
    return folder + QStringLiteral("/") + qstring_from_gbk(name.empty() ? book : name) +
           QStringLiteral(".txt");
}

void DownloadController::choose_save_path() {
    const std::string book = gbk_from_qstring(window_->book_number_box->text());
    QString proposed = settings_->download_path_of_book(book);
    if (proposed.isEmpty()) {
        proposed = proposed_path(
            book, output_path_.empty()
                      ? QDir::homePath()
                      : QFileInfo(QString::fromStdString(output_path_)).absolutePath());
    }
    const QString chosen = seams_.choose_save_path(proposed);
    if (chosen.isEmpty()) return;
    settings_->save_download_path_of_book(book, chosen);
    window_->storage_note->setText(QStringLiteral("保存到 %1").arg(QFileInfo(chosen).fileName()));
    window_->storage_note->setToolTip(chosen);
}

bool DownloadController::confirm_range(const RangeRequest& request) {
    const std::vector<RangeDoubt> doubts = range_doubts(request);
    if (doubts.empty()) return true;
    QStringList lines;
    for (const RangeDoubt doubt : doubts) lines << doubt_text(doubt);
    return seams_.ask(lines.join(QStringLiteral("；\n")) + QStringLiteral("，继续吗？"));
}

bool DownloadController::confirm_overwrite(const RangeRequest& request, std::string* path) {
    const QString shown_path = QString::fromStdString(*path);
    QString question;
    if (const std::optional<Journal> journal = read_journal(*path)) {
        // An unfinished run of the same range is restarted as asked; one of
        // another range would be lost, and 「继续下载」 could still finish it.
        const JournalState& state = journal->state;
        if (state.book == request.book && state.start == request.start &&
            state.end == request.end) {
            return true;
        }
        const QString end = state.end.empty()
                                ? QStringLiteral("本书最新一章")
                                : QStringLiteral("第%1章").arg(qstring_from_gbk(state.end));
        question =
            QStringLiteral(
                "%1 中有一次未完成的下载（书号%2，从第%3章到%4，已下载%5页），"
                "开始新的下载会替换它。要覆盖它吗？")
                .arg(shown_path, qstring_from_gbk(state.book), qstring_from_gbk(state.start), end)
                .arg(state.pages);
    } else {
        const std::optional<std::uint64_t> size = file_size(*path);
        if (!size || *size == 0) return true;
        // The same range downloaded again is no loss.
        if (stored_text) {
            if (const std::optional<std::string> text =
                    stored_text(chapter_address(request.book, request.start))) {
                const bool utf8 = window_->encoding_box->currentIndex() == 1;
                if (file_begins_with(*path, utf8 ? utf8_from_gbk(*text) : *text)) return true;
            }
        }
        question = QStringLiteral("%1 已有另一次下载完成的内容，要覆盖它吗？").arg(shown_path);
    }
    const int choice = seams_.choose(
        question, {QStringLiteral("覆盖"), QStringLiteral("另存为…"), QStringLiteral("取消")});
    if (choice == 0) return true;
    if (choice != 1) return false;
    const QString chosen = seams_.choose_save_path(
        proposed_path(request.book, QFileInfo(QString::fromStdString(*path)).absolutePath()));
    if (chosen.isEmpty()) return false;
    settings_->save_download_path_of_book(request.book, chosen);
    *path = chosen.toStdString();
    return true;
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

void DownloadController::take_current_index() { offer_to_continue(); }

void DownloadController::fill_current_index() {
    const ChapterIndex index = chapter_index_of(reader_link_());
    if (index.book_number.empty() && index.chapter_number.empty()) {
        seams_.show_message(QStringLiteral("阅读窗口还没有打开任何章节，无法取当前阅读序号。"));
        return;
    }
    window_->book_number_box->setText(qstring_from_gbk(index.book_number));
    window_->start_chapter_box->setText(qstring_from_gbk(index.chapter_number));
}

void DownloadController::start_or_stop() {
    if (running_) {
        job_.request_stop();  // the run ends at once; its result comes back as usual
        window_->start_button->setEnabled(false);
        return;
    }
    const RangeRequest request{.book = gbk_from_qstring(window_->book_number_box->text()),
                               .start = gbk_from_qstring(window_->start_chapter_box->text()),
                               .end = gbk_from_qstring(window_->end_chapter_box->text())};
    if (!confirm_range(request)) return;
    std::string path = path_for_book(request.book);
    if (path.empty()) {
        seams_.show_message(qstring_from_gbk(no_directory_message(no_folder_reason_)));
        return;
    }
    if (!confirm_overwrite(request, &path)) return;
    run_path_ = path;
    const std::optional<ChapterSpan> span = plain_chapter_span(request.start, request.end);
    if (span) meter_.emplace(*span);
    start(
        [request, options = options_for(path)](PageSource& pages, const DownloadHooks& hooks,
                                               std::stop_token stop) {
            return download_range(request, pages, options, hooks, std::move(stop));
        },
        request.book);
}

void DownloadController::continue_download() {
    const std::string path = run_path_.empty()
                                 ? path_for_book(gbk_from_qstring(window_->book_number_box->text()))
                                 : run_path_;
    if (running_ || path.empty()) return;
    std::string book;
    if (const std::optional<Journal> journal = read_journal(path)) {
        // The boxes show the range being continued.
        book = journal->state.book;
        window_->book_number_box->setText(qstring_from_gbk(journal->state.book));
        window_->start_chapter_box->setText(qstring_from_gbk(journal->state.start));
        window_->end_chapter_box->setText(qstring_from_gbk(journal->state.end));
        if (const std::optional<ChapterSpan> span =
                plain_chapter_span(journal->state.start, journal->state.end)) {
            meter_.emplace(*span);
        }
    }
    run_path_ = path;
    start(
        [options = options_for(path)](PageSource& pages, const DownloadHooks& hooks,
                                      std::stop_token stop) {
            return continue_range(pages, options, hooks, std::move(stop));
        },
        book);
}

void DownloadController::start(RangeJob job, const std::string& book) {
    running_ = true;
    last_progress_ = {};
    pages_at_start_.reset();
    elapsed_.start();
    clock_.start();
    window_->show_running(true);
    window_->start_button->setEnabled(true);
    show_progress(last_progress_);
    // In the window, not in a box: the run does not wait for it.
    window_->progress_label->setText(qstring_from_gbk(start_message()));

    // What the run posts reaches this controller only while its job handle,
    // and so the controller, is alive.
    job_.start(
        [job = std::move(job), window = window_->fetch_ahead_box->value(),
         library_path = seams_.library_file, epub = window_->epub_box->isChecked(), book,
         text_path = run_path_, controller = this](const JobLink& run) {
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
            RunOutcome outcome{.range = job(pages, hooks, run.stop_token())};
            if (std::optional<QString> failure = keeper.finish()) {
                run.post([controller, text = std::move(*failure)] {
                    controller->seams_.show_message(text);
                });
            }
            if (epub && outcome.range.went_all_the_way()) {
                export_epub(keeper.library(), book, text_path, &outcome, run.stop_token());
            }
            return outcome;
        },
        [this](const RunOutcome& outcome) { show_result(outcome); });
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
                       .arg(clock_label(elapsed_.elapsed()));
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
    if (meter_ && running_) {
        if (const std::optional<std::uint64_t> chapter = chapter_number_of(progress.fetching)) {
            const auto now = std::chrono::milliseconds(elapsed_.elapsed());
            const RangeReading reading = meter_->reading(now, *chapter);
            QString bar = QStringLiteral("%1%").arg(reading.percent);
            if (reading.seconds_left) {
                bar += QStringLiteral(" · 剩余约 ") + clock_label(*reading.seconds_left * 1000);
            }
            window_->show_fraction(static_cast<int>(reading.done), static_cast<int>(reading.total),
                                   bar);
        }
    }
    if (in_background_ && on_background_progress) {
        on_background_progress(QStringLiteral("后台下载：") +
                               text.section(QLatin1Char('\n'), 0, 0));
    }
}

void DownloadController::show_result(const RunOutcome& outcome) {
    const RangeResult& result = outcome.range;
    running_ = false;
    clock_.stop();
    window_->show_running(false);
    window_->start_button->setEnabled(true);
    show_progress(last_progress_);
    if (meter_ && result.end == RangeEnd::reached_end) {
        window_->show_fraction(1, 1, QStringLiteral("100%"));
    }
    meter_.reset();
    offer_to_continue();
    const bool can_continue = result.can_continue() && read_journal(run_path_).has_value();
    seams_.show_message(
        ending_text({.result = result,
                     .path = QString::fromStdString(run_path_),
                     .can_continue = can_continue,
                     .epub_path = QString::fromStdString(outcome.epub_path),
                     .epub_failure = QString::fromStdString(outcome.epub_failure)}));
    if (in_background_) {
        in_background_ = false;
        if (on_background_progress) on_background_progress(QString());
        window_->close();  // it was hidden for the run alone
    }
}

void DownloadController::offer_to_continue() {
    const std::string path = run_path_.empty() ? output_path_ : run_path_;
    const bool unfinished = !path.empty() && read_journal(path).has_value();
    window_->continue_button->setVisible(unfinished && !running_);
}

}  // namespace novel
