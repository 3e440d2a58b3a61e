#include "app/bookshelf_controller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>

#include "app/bookshelf_window.h"
#include "app/gbk_qstring.h"
#include "app/reader_settings.h"
#include "download/page_source.h"
#include "library/book_export.h"
#include "library/library.h"
#include "update/export_again.h"
#include "update/update_books.h"
#include "update/update_lines.h"

namespace novel {
namespace {

constexpr std::string_view FORMAT_CHOICE = "export_format";
constexpr std::string_view ENCODING_CHOICE = "export_encoding";
constexpr std::string_view SCRIPT_CHOICE = "export_script";

constexpr std::string_view EXPORT_AGAIN_CHOICE = "export_again_after_update";

struct ExportOutcome {
    bool ok = false;
    QString reason;
};

// On the export's own thread, over a library connection of its own; a
// written export is remembered, for writing it again after an update.
ExportOutcome run_export(const std::string& library_path, const std::string& book,
                         const ExportRecord& record, std::stop_token stop) {
    OpenResult opened = open_library(library_path);
    if (!opened.library) {
        return {.ok = false, .reason = QString::fromStdString(opened.status.message)};
    }
    const BookExportResult written = export_book(*opened.library, book, record, stop);
    switch (written.end) {
        case BookExportEnd::written:
            break;
        case BookExportEnd::no_pages:
            return {.ok = false, .reason = QStringLiteral("这本书没有存下的章节")};
        case BookExportEnd::stopped:
            return {.ok = false, .reason = QStringLiteral("已停止")};
        default:
            return {.ok = false, .reason = QString::fromStdString(written.reason)};
    }
    // The file is written either way; only writing it again later would miss it.
    if (const LibraryStatus remembered = opened.library->remember_export(book, record);
        !remembered.ok()) {
        return {.ok = true,
                .reason = QStringLiteral("（未能在书库中记下这次导出：%1）")
                              .arg(QString::fromStdString(remembered.message))};
    }
    return {.ok = true, .reason = {}};
}

QString when_text(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

}  // namespace

BookshelfController::BookshelfController(BookshelfWindow* window, const ProgramSeams& seams,
                                         Library* library, ReaderSettings* settings,
                                         std::function<void(const std::string&)> open_chapter)
    : window_(window),
      seams_(seams),
      library_(library),
      settings_(settings),
      open_chapter_(std::move(open_chapter)) {
    window_->format_box->setCurrentIndex(settings_->choice(FORMAT_CHOICE, 0));
    window_->encoding_box->setCurrentIndex(settings_->choice(ENCODING_CHOICE, 0));
    window_->script_box->setCurrentIndex(settings_->choice(SCRIPT_CHOICE, 0));
    window_->export_again_box->setChecked(settings_->choice(EXPORT_AGAIN_CHOICE, 0) == 1);
    QObject::connect(window_->export_again_box, &QCheckBox::toggled, this, [this](bool checked) {
        settings_->save_choice(EXPORT_AGAIN_CHOICE, checked ? 1 : 0);
    });
    QObject::connect(window_->open_button, &QPushButton::clicked, this,
                     [this] { open_selected(); });
    QObject::connect(window_->books, &QTreeWidget::itemDoubleClicked, this,
                     [this] { open_selected(); });
    QObject::connect(window_->chapters_button, &QPushButton::clicked, this,
                     [this] { show_chapters(); });
    QObject::connect(window_->remove_button, &QPushButton::clicked, this,
                     [this] { remove_selected(); });
    QObject::connect(window_->export_button, &QPushButton::clicked, this,
                     [this] { export_selected(); });
    QObject::connect(window_->update_button, &QPushButton::clicked, this,
                     [this] { check_updates(false); });
    QObject::connect(window_->update_all_button, &QPushButton::clicked, this,
                     [this] { check_updates(true); });
    fill_rows();
}

void BookshelfController::fill_rows() {
    window_->books->clear();
    row_books_.clear();
    row_places_.clear();
    if (library_ == nullptr) {
        window_->note->setText(QStringLiteral("书库无法使用"));
        return;
    }
    const Bookshelf shelf = library_->bookshelf();
    if (!shelf.status.ok()) window_->note->setText(QString::fromStdString(shelf.status.message));
    for (const BookshelfRow& row : shelf.rows) {
        auto* item = new QTreeWidgetItem(window_->books);
        item->setText(name_column, qstring_from_gbk(row.book.name));
        item->setText(author_column, qstring_from_gbk(row.book.author));
        item->setText(pages_column, QString::number(row.pages));
        item->setText(newest_column, qstring_from_gbk(row.newest_title));
        if (row.unread_chapters > 0) {
            // A book with chapters waiting stands out by its name too.
            item->setText(unread_column, QString::number(row.unread_chapters));
            item->setToolTip(unread_column,
                             QStringLiteral("%1 章还没有读").arg(row.unread_chapters));
            QFont bold = item->font(name_column);
            bold.setBold(true);
            item->setFont(name_column, bold);
        }
        if (row.place) {
            item->setText(read_column, qstring_from_gbk(row.place->title) + QStringLiteral("　") +
                                           when_text(row.place->read_at));
        }
        row_books_.push_back(row.book.book_number);
        row_places_.push_back(row.place ? row.place->address : std::string());
    }
    if (!row_books_.empty()) window_->books->setCurrentItem(window_->books->topLevelItem(0));
}

const std::string* BookshelfController::selected_book() const {
    const int row = window_->books->indexOfTopLevelItem(window_->books->currentItem());
    if (row < 0 || static_cast<std::size_t>(row) >= row_books_.size()) return nullptr;
    return &row_books_[static_cast<std::size_t>(row)];
}

void BookshelfController::open_selected() {
    const std::string* book = selected_book();
    if (book == nullptr) return;
    const auto row = static_cast<std::size_t>(book - row_books_.data());
    std::string address = row_places_[row];
    if (address.empty()) {
        // Never read: from its first kept page in chain order.
        const Chain chain = library_->chain(*book);
        chain.walk([&address](const ChainItem& item) {
            if (const auto* page = std::get_if<ChainPage>(&item)) address = page->address;
            return address.empty();
        });
    }
    if (!address.empty()) open_chapter_(address);
}

QWidget* BookshelfController::show_chapters() {
    const std::string* book = selected_book();
    if (book == nullptr) return nullptr;
    auto* dialog = new ChapterListDialog(window_);
    auto addresses = std::make_shared<std::vector<std::string>>();
    const Chain chain = library_->chain(*book);
    chain.walk([&](const ChainItem& item) {
        if (const auto* page = std::get_if<ChainPage>(&item)) {
            dialog->chapters->addItem(qstring_from_gbk(page->title));
            addresses->push_back(page->address);
        } else {
            dialog->chapters->addItem(QStringLiteral("（缺页）"));
            addresses->emplace_back();
        }
        return true;
    });
    QObject::connect(dialog->chapters, &QListWidget::itemDoubleClicked, dialog,
                     [this, dialog, addresses](QListWidgetItem* item) {
                         const int row = dialog->chapters->row(item);
                         const std::string& address = (*addresses)[static_cast<std::size_t>(row)];
                         if (address.empty()) return;
                         open_chapter_(address);
                         dialog->close();
                     });
    dialog->show();
    return dialog;
}

void BookshelfController::remove_selected() {
    const std::string* book = selected_book();
    if (book == nullptr) return;
    const QString name = window_->books->currentItem()->text(name_column);
    if (!seams_.ask(QStringLiteral("从书库中删除《%1》及其存下的全部章节？").arg(name))) return;
    const LibraryStatus removed = library_->remove_book(*book);
    if (!removed.ok()) window_->note->setText(QString::fromStdString(removed.message));
    fill_rows();
}

void BookshelfController::remember_export_choice() {
    settings_->save_choice(FORMAT_CHOICE, window_->format_box->currentIndex());
    settings_->save_choice(ENCODING_CHOICE, window_->encoding_box->currentIndex());
    settings_->save_choice(SCRIPT_CHOICE, window_->script_box->currentIndex());
}

void BookshelfController::export_selected() {
    const std::string* book = selected_book();
    if (book == nullptr || export_job_.running()) return;
    remember_export_choice();
    const bool epub = window_->format_box->currentIndex() == 0;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    const QString name = window_->books->currentItem()->text(name_column);
    const QString proposed =
        QDir(folder).filePath(name + (epub ? QStringLiteral(".epub") : QStringLiteral(".txt")));
    const QString chosen = seams_.choose_save_path(proposed);
    if (chosen.isEmpty()) return;
    constexpr TextEncoding encodings[] = {TextEncoding::gbk, TextEncoding::utf8,
                                          TextEncoding::gb18030};
    const ExportRecord record{
        .path = chosen.toStdString(),
        .format = epub ? ExportFormat::epub : ExportFormat::txt,
        .encoding = encodings[std::clamp(window_->encoding_box->currentIndex(), 0, 2)],
        .traditional = window_->script_box->currentIndex() == 1,
        .exported_at = QDateTime::currentSecsSinceEpoch(),
    };
    window_->note->setText(QStringLiteral("正在导出……"));
    window_->export_button->setEnabled(false);
    export_job_.start(
        [record, book = *book, library_path = seams_.library_file](const JobLink& run) {
            return run_export(library_path, book, record, run.stop_token());
        },
        [this, chosen](const ExportOutcome& outcome) {
            window_->export_button->setEnabled(true);
            window_->note->setText(outcome.ok
                                       ? QStringLiteral("已导出到：%1").arg(chosen) + outcome.reason
                                       : QStringLiteral("导出失败：%1").arg(outcome.reason));
        });
}

void BookshelfController::check_updates(bool every_book) {
    if (update_job_.running()) return;
    std::vector<std::string> books;  // empty: every book
    if (!every_book) {
        const std::string* book = selected_book();
        if (book == nullptr) return;
        books.push_back(*book);
    }
    const bool export_again = window_->export_again_box->isChecked();
    window_->note->setText(QStringLiteral("正在检查更新……"));
    window_->update_button->setEnabled(false);
    window_->update_all_button->setEnabled(false);
    // The run reads and writes the library over a connection of its own.
    update_job_.start(
        [books, export_again, library_path = seams_.library_file](const JobLink& run) {
            QStringList lines;
            OpenResult opened = open_library(library_path);
            if (!opened.library) {
                lines << QStringLiteral("无法打开书库：%1")
                             .arg(QString::fromStdString(opened.status.message));
                return lines;
            }
            SerialPages pages;
            const std::vector<BookUpdate> updates =
                update_books(*opened.library, books, pages, {}, run.stop_token());
            for (const BookUpdate& update : updates) {
                lines << qstring_from_gbk(update_line(update));
            }
            if (export_again) {
                for (const ExportAgain& again :
                     export_updated_books(*opened.library, updates, run.stop_token())) {
                    lines << qstring_from_gbk(export_again_line(again));
                }
            }
            if (lines.isEmpty()) lines << QStringLiteral("书库中没有书");
            return lines;
        },
        [this](const QStringList& lines) {
            window_->update_button->setEnabled(true);
            window_->update_all_button->setEnabled(true);
            window_->note->setText(lines.join(QLatin1Char('\n')));
            fill_rows();
        });
}

}  // namespace novel
