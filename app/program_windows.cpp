#include "app/program_windows.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <functional>
#include <utility>

#include "app/bookshelf_controller.h"
#include "app/bookshelf_window.h"
#include "app/download_controller.h"
#include "app/download_window.h"
#include "app/gbk_qstring.h"
#include "app/library_opening.h"
#include "app/reader_controller.h"
#include "app/reader_settings.h"
#include "app/reader_window.h"
#include "app/window_places.h"
#include "library/library.h"

namespace novel {
namespace {

constexpr QSize READER_SIZE{459, 286};
constexpr QSize DOWNLOAD_SIZE{320, 292};
constexpr QSize INSTRUCTIONS_SIZE{364, 200};
// Any size the reader is given back keeps a few lines above the bottom row.
constexpr QSize READER_SMALLEST{200, 140};
constexpr QSize READER_LARGEST{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};

// Some window systems tell the frame as the window is shown, others only once
// they have taken the window, so the fit is done at once and again soon after.
void fit_outer_size_soon(QWidget* window, QSize outer, bool fixed) {
    fit_outer_size(window, outer, fixed);
    QTimer::singleShot(0, window, [window, outer, fixed] { fit_outer_size(window, outer, fixed); });
}

// Lets a window's close through only when allow() says so.
class CloseGuard final : public QObject {
public:
    CloseGuard(QObject* parent, std::function<bool()> allow)
        : QObject(parent), allow_(std::move(allow)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && !allow_()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> allow_;
};

}  // namespace

ProgramWindows::ProgramWindows(ProgramSeams seams)
    : seams_(std::move(seams)), settings_(std::make_unique<ReaderSettings>(seams_.settings_file)) {
    OpenedLibrary opened = open_library_for_windows(seams_.library_file);
    library_ = std::move(opened.library);
    library_notice_ = std::move(opened.notice);
}

ProgramWindows::~ProgramWindows() {
    // Top-level windows of their own, without a parent.
    delete instructions_.data();
    delete download_.data();
    delete bookshelf_.data();
    reader_controller_.reset();  // ends a reading under way before its window goes
}

DownloadWindow* ProgramWindows::download_window() const { return download_.data(); }

InstructionsWindow* ProgramWindows::instructions_window() const { return instructions_.data(); }

BookshelfWindow* ProgramWindows::bookshelf_window() const { return bookshelf_.data(); }

BookshelfController* ProgramWindows::bookshelf() const { return bookshelf_controller_.data(); }

DownloadController* ProgramWindows::download() const { return download_controller_.data(); }

void ProgramWindows::open_reader_window() {
    if (reader_) {
        if (reader_->isMinimized()) reader_->showNormal();
        reader_->raise();
        reader_->activateWindow();
        return;
    }
    reader_ = std::make_unique<ReaderWindow>();
    reader_controller_ =
        std::make_unique<ReaderController>(reader_.get(), seams_, settings_.get(), library_.get());
    remember_place_on_close(reader_.get(), settings_.get(), READER_WINDOW_PLACE);
    reader_->installEventFilter(
        new CloseGuard(reader_.get(), [this] { return may_end_program(); }));
    reader_->on_close = [this] {
        // Closing the start window ends the program, download window included.
        if (download_) download_->close();
        if (bookshelf_) bookshelf_->close();
    };
    QObject::connect(reader_->bookshelf_button, &QPushButton::clicked, reader_.get(),
                     [this] { open_bookshelf_window(); });
    QObject::connect(reader_->bookshelf_action, &QAction::triggered, reader_.get(),
                     [this] { open_bookshelf_window(); });
    QObject::connect(reader_->download_button, &QPushButton::clicked, reader_.get(),
                     [this] { open_download_window(); });
    reader_->layout_timer->start();
    const std::optional<QSize> reader_size =
        restore_window_place(reader_.get(), *settings_, READER_WINDOW_PLACE, READER_SIZE,
                             {READER_SMALLEST, READER_LARGEST});
    reader_->show();
    if (reader_size) fit_outer_size_soon(reader_.get(), *reader_size, /*fixed=*/false);
    reader_controller_->init_reader_window();
    if (!library_notice_.isEmpty()) {
        seams_.show_message(library_notice_);
        library_notice_.clear();
    }
}

void ProgramWindows::open_download_window() {
    if (download_) {
        download_->raise();
        download_->activateWindow();
        return;
    }
    auto* download = new DownloadWindow();  // deletes itself when closed
    download_ = download;
    // A child of the window, so it goes with it.
    auto* controller = new DownloadController(
        download, seams_,
        [this] { return reader_ ? gbk_from_qstring(reader_->link_box->text()) : std::string(); },
        settings_.get());
    controller->setParent(download);
    download_controller_ = controller;
    controller->book_name = [this](const std::string& book) {
        const BookLookup found = library_ ? library_->book(book) : BookLookup{};
        return found.found ? found.found->name : book;
    };
    controller->stored_text = [this](const std::string& address) -> std::optional<std::string> {
        if (!library_) return std::nullopt;
        PageLookup found = library_->page_at(address);
        if (!found.found) return std::nullopt;
        return std::move(found.found->page.text);
    };
    controller->on_background_progress = [this](const QString& text) {
        if (!reader_) return;
        // A label of its own beside the reader's state line, which stays the reading's.
        if (!background_label_) {
            background_label_ = new QLabel(reader_->state_line);
            reader_->state_line->addPermanentWidget(background_label_);
        }
        background_label_->setText(text);
        background_label_->setVisible(!text.isEmpty());
        // The program was closed with the run left going: it ends with it.
        if (text.isEmpty() && exit_after_download_) {
            QTimer::singleShot(0, reader_.get(), [this] {
                if (reader_) reader_->close();
            });
        }
    };
    remember_place_on_close(download, settings_.get(), DOWNLOAD_WINDOW_PLACE);
    (void)restore_window_place(download, *settings_, DOWNLOAD_WINDOW_PLACE, DOWNLOAD_SIZE,
                               {DOWNLOAD_SIZE, DOWNLOAD_SIZE});
    QObject::connect(download->instructions_button, &QPushButton::clicked, download,
                     [this] { open_instructions_window(); });
    download->show();
    fit_outer_size_soon(download, DOWNLOAD_SIZE, /*fixed=*/true);
    controller->take_current_index();
}

bool ProgramWindows::may_end_program() {
    if (!download_controller_ || !download_controller_->running()) return true;
    const int choice = seams_.choose(
        QStringLiteral("正在下载，退出程序前要停止下载吗？"),
        {QStringLiteral("停止下载"), QStringLiteral("后台继续"), QStringLiteral("取消")});
    if (choice == 0) {
        download_controller_->stop_and_close();
        return true;
    }
    if (choice == 1) {
        exit_after_download_ = true;
        download_controller_->continue_in_background();
        reader_->hide();
    }
    return false;
}

void ProgramWindows::open_bookshelf_window() {
    if (bookshelf_) {
        bookshelf_controller_->fill_rows();
        bookshelf_->raise();
        bookshelf_->activateWindow();
        return;
    }
    auto* bookshelf = new BookshelfWindow();  // deletes itself when closed
    bookshelf_ = bookshelf;
    auto* controller = new BookshelfController(bookshelf, seams_, library_.get(), settings_.get(),
                                               [this](const std::string& address) {
                                                   if (!reader_controller_) return;
                                                   (void)reader_controller_->open_stored(address);
                                                   reader_->raise();
                                                   reader_->activateWindow();
                                               });
    controller->setParent(bookshelf);
    bookshelf_controller_ = controller;
    bookshelf->show();
}

void ProgramWindows::open_instructions_window() {
    if (instructions_) {
        instructions_->raise();
        instructions_->activateWindow();
        return;
    }
    auto* instructions = new InstructionsWindow();  // no parent: modal for the whole program
    instructions->setAttribute(Qt::WA_DeleteOnClose);
    instructions_ = instructions;
    // Shown before the modal loop so that its frame can be fitted at once.
    instructions->setWindowModality(Qt::ApplicationModal);
    instructions->show();
    fit_outer_size_soon(instructions, INSTRUCTIONS_SIZE, /*fixed=*/true);
    instructions->exec();
}

}  // namespace novel
