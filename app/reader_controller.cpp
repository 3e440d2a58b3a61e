#include "app/reader_controller.h"

#include <QAction>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include "app/content_box.h"
#include "app/gbk_qstring.h"
#include "app/reader_settings.h"
#include "app/reader_texts.h"
#include "app/reader_window.h"
#include "chapter/site.h"

namespace novel {
namespace {

// The settings file is the user's to edit: a saved link that leads off the
// site is not followed.
std::string site_link_or_nothing(std::string link) {
    return is_site_address(link) ? std::move(link) : std::string();
}

void set_text_colour(QLineEdit* box, QRgb colour) {
    QPalette colours = box->palette();
    colours.setColor(QPalette::Text, QColor::fromRgb(colour));
    box->setPalette(colours);
}

}  // namespace

ReaderController::ReaderController(ReaderWindow* window, const ProgramSeams& seams,
                                   ReaderSettings* settings)
    : window_(window),
      seams_(seams),
      settings_(settings),
      next_chapter_link_(site_link_or_nothing(settings->reading_place().next_link)),
      text_size_(settings->text_size()) {
    worker_.setMaxThreadCount(1);
    if (text_size_ != DEFAULT_TEXT_SIZE) window_->content_box->set_text_pixel_size(text_size_);
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

    ContentBox* box = window_->content_box;
    QObject::connect(box->back_action, &QAction::triggered, this, [this] { go_back(); });
    QObject::connect(box->forward_action, &QAction::triggered, this, [this] { go_forward(); });
    box->on_zoom_wheel = [this](int notches) { change_text_size(notches); };
    QObject::connect(window_->larger_text_action, &QAction::triggered, this,
                     [this] { change_text_size(1); });
    QObject::connect(window_->smaller_text_action, &QAction::triggered, this,
                     [this] { change_text_size(-1); });
    QObject::connect(window_->default_text_action, &QAction::triggered, this,
                     [this] { change_text_size(0); });
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

void ReaderController::page_next() { enqueue(Step::next); }

void ReaderController::go_back() { enqueue(Step::back); }

void ReaderController::go_forward() { enqueue(Step::forward); }

void ReaderController::change_text_size(int steps) {
    const int pixels = steps == 0 ? DEFAULT_TEXT_SIZE : step_text_size(text_size_, steps);
    if (pixels == text_size_) return;
    text_size_ = pixels;
    window_->content_box->set_text_pixel_size(pixels);
    settings_->save_text_size(pixels);
}

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
    while (!pending_.empty()) {
        const Press press = std::move(pending_.front());
        pending_.pop_front();
        std::optional<std::string> link = link_of(press);
        if (!link) continue;
        fetching_ = true;
        fetching_link_ = std::move(*link);
        show_history_moves();
        window_->show_fetching(qstring_from_gbk(fetching_link_));
        watcher_.setFuture(
            QtConcurrent::run(&worker_, seams_.fetch_chapter, fetching_link_, stop_.get_token()));
        return;
    }
}

std::optional<std::string> ReaderController::link_of(const Press& press) {
    if (const auto* entered = std::get_if<std::string>(&press)) return *entered;
    switch (std::get<Step>(press)) {
        case Step::next:
            // As it stands when its turn comes, so Down pressed three times
            // pages three chapters on.
            return next_chapter_link_;
        case Step::back:
            return history_.go_back();
        case Step::forward:
            return history_.go_forward();
    }
    return std::nullopt;
}

void ReaderController::show_result() {
    const FetchedChapter fetched = watcher_.result();
    fetching_ = false;
    window_->content_box->show_gbk_text(fetched.chapter.text);
    next_chapter_link_ = fetched.chapter.next_link;
    if (fetched.succeeded()) {
        // Back and forward have moved already: the history finds the
        // chapter is its current one.
        history_.visit(fetching_link_);
        // A failed reading keeps the place saved before it.
        settings_->save_reading_place(
            {.chapter_link = fetching_link_, .next_link = next_chapter_link_});
        window_->show_fetched();
    } else {
        window_->show_fetch_failed(
            qstring_from_gbk(describe_failure(fetched.error, fetched.status)));
    }
    show_history_moves();
    start_next();
}

void ReaderController::show_history_moves() {
    window_->content_box->back_action->setEnabled(history_.can_go_back());
    window_->content_box->forward_action->setEnabled(history_.can_go_forward());
}

}  // namespace novel
