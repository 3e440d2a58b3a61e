#include "app/reader_controller.h"

#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include "app/content_box.h"
#include "app/gbk_qstring.h"
#include "app/reader_texts.h"
#include "app/reader_window.h"

namespace novel {
namespace {

void set_text_colour(QLineEdit* box, QRgb colour) {
    QPalette colours = box->palette();
    colours.setColor(QPalette::Text, QColor::fromRgb(colour));
    box->setPalette(colours);
}

}  // namespace

ReaderController::ReaderController(ReaderWindow* window, const ProgramSeams& seams)
    : window_(window), seams_(seams) {
    worker_.setMaxThreadCount(1);
    QObject::connect(&watcher_, &QFutureWatcher<FetchedChapter>::finished, this,
                     [this] { show_result(); });

    window_->on_link_focus_in = [this] { clear_placeholder(); };
    window_->on_link_focus_out = [this] { restore_placeholder(); };
    window_->hot_key_label->on_notification = [this](std::int32_t identifier, std::int32_t second) {
        on_paging_hot_key(identifier, second);
    };
    QObject::connect(window_->fetch_button, &QPushButton::clicked, this,
                     [this] { fetch_entered_link(); });
    QObject::connect(window_->next_page_button, &QPushButton::clicked, this,
                     [this] { page_next(); });
}

ReaderController::~ReaderController() {
    pending_.clear();
    stop_.request_stop();
    watcher_.disconnect(this);
    worker_.waitForDone();
}

void ReaderController::init_reader_window() {
    seams_.show_message(startup_notice());
    // Stored as it comes: a failed registration leaves Down without effect,
    // and "下一页" still pages.
    paging_hot_key_id_ =
        seams_.register_hot_key(NO_MODIFIERS, VIRTUAL_KEY_DOWN, window_->hot_key_label);
}

void ReaderController::fetch_entered_link() {
    // Exactly as the box holds it: no trimming, no check of the address.
    enqueue(gbk_from_qstring(window_->link_box->text()));
}

void ReaderController::page_next() { enqueue(std::nullopt); }

void ReaderController::on_paging_hot_key(std::int32_t identifier, std::int32_t /*second*/) {
    if (identifier == paging_hot_key_id_) page_next();
}

void ReaderController::clear_placeholder() {
    if (window_->link_box->text() == link_placeholder()) {
        window_->link_box->setText(QString());
        set_text_colour(window_->link_box, USER_TEXT_COLOUR);
    }
}

void ReaderController::restore_placeholder() {
    if (window_->link_box->text().isEmpty()) {
        window_->link_box->setText(link_placeholder());
        set_text_colour(window_->link_box, PLACEHOLDER_COLOUR);
    }
}

void ReaderController::enqueue(Press press) {
    pending_.push_back(std::move(press));
    if (!fetching_) start_next();
}

void ReaderController::start_next() {
    if (pending_.empty()) return;
    // Paging takes the next link as it stands when its turn comes, so Down
    // pressed three times pages three chapters on.
    const std::string link = pending_.front().value_or(next_chapter_link_);
    pending_.pop_front();
    fetching_ = true;
    window_->show_fetching(qstring_from_gbk(link));
    watcher_.setFuture(QtConcurrent::run(&worker_, seams_.fetch_chapter, link, stop_.get_token()));
}

void ReaderController::show_result() {
    const FetchedChapter fetched = watcher_.result();
    fetching_ = false;
    window_->content_box->show_gbk_text(fetched.chapter.text);
    next_chapter_link_ = fetched.chapter.next_link;
    if (fetched.succeeded()) {
        window_->show_fetched();
    } else {
        window_->show_fetch_failed(
            qstring_from_gbk(describe_failure(fetched.error, fetched.status)));
    }
    start_next();
}

}  // namespace novel
