#include "app/reader_controller.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDateTime>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "app/content_box.h"
#include "app/gbk_qstring.h"
#include "app/reader_settings.h"
#include "app/reader_texts.h"
#include "app/reader_window.h"
#include "app/reading_settings_dialog.h"
#include "chapter/book_info.h"
#include "chapter/site.h"
#include "download/range_download.h"
#include "library/library.h"

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

QString newest_chapter_text() { return QStringLiteral("已是最新章节"); }

constexpr std::string_view SHOW_SITE_ADDITIONS = "show_site_additions";
constexpr std::string_view GLOBAL_DOWN_KEY = "global_down_key";
constexpr std::string_view HIDE_STARTUP_NOTICE = "hide_startup_notice";
constexpr std::string_view NO_CHINESE_FONT_TOLD = "no_chinese_font_told";

// The saved look, or on first start the desktop's light or dark.
ReadingLook saved_look(const ReaderSettings& settings, const ReadingLook& fallback) {
    ReadingLook look = fallback;
    look.pixel_size = settings.text_size();
    look.line_height = settings.line_height();
    const QString family = settings.font_family();
    if (!family.isEmpty() && QFontDatabase::hasFamily(family)) look.family = family;
    const std::optional<int> theme = settings.reading_theme();
    look.theme = theme ? READING_THEMES[static_cast<std::size_t>(*theme)]
                       : theme_for_desktop(QApplication::palette().color(QPalette::Window));
    return look;
}

}  // namespace

ReaderController::ReaderController(ReaderWindow* window, const ProgramSeams& seams,
                                   ReaderSettings* settings, Library* library)
    : window_(window),
      seams_(seams),
      settings_(settings),
      next_chapter_link_(site_link_or_nothing(settings->reading_place().next_link)),
      text_size_(settings->text_size()),
      library_(library) {
    ContentBox* box = window_->content_box;
    box->set_look(saved_look(*settings_, box->look()));
    window_->setPalette(window_palette(box->look().theme, QApplication::palette()));
    box->set_show_site_additions(settings_->flag(SHOW_SITE_ADDITIONS, false));
    box->global_down_action->setChecked(settings_->flag(GLOBAL_DOWN_KEY, true));

    window_->on_link_focus_in = [this] { clear_placeholder(); };
    window_->on_link_focus_out = [this] { restore_placeholder(); };
    window_->hot_key_label->on_notification = [this](std::int32_t identifier, std::int32_t second) {
        on_paging_hot_key(identifier, second);
    };
    QObject::connect(window_->fetch_button, &QPushButton::clicked, this,
                     [this] { fetch_entered_link(); });
    QObject::connect(window_->next_page_button, &QPushButton::clicked, this,
                     [this] { page_next(); });

    QObject::connect(box->back_action, &QAction::triggered, this, [this] { go_back(); });
    QObject::connect(box->forward_action, &QAction::triggered, this, [this] { go_forward(); });
    QObject::connect(box->refresh_action, &QAction::triggered, this, [this] { refresh(); });
    box->on_zoom_wheel = [this](int notches) { change_text_size(notches); };
    QObject::connect(window_->larger_text_action, &QAction::triggered, this,
                     [this] { change_text_size(1); });
    QObject::connect(window_->smaller_text_action, &QAction::triggered, this,
                     [this] { change_text_size(-1); });
    QObject::connect(window_->default_text_action, &QAction::triggered, this,
                     [this] { change_text_size(0); });
    QObject::connect(box->theme_actions, &QActionGroup::triggered, this, [this](QAction* action) {
        ReadingLook look = window_->content_box->look();
        look.theme = static_cast<ReadingTheme>(action->data().toInt());
        apply_look(look);
    });
    QObject::connect(box->site_additions_action, &QAction::triggered, this,
                     [this](bool on) { show_site_additions(on); });
    QObject::connect(box->settings_action, &QAction::triggered, this,
                     [this] { open_reading_settings(); });
    QObject::connect(box->global_down_action, &QAction::triggered, this,
                     [this](bool on) { use_global_down_key(on); });
    QObject::connect(box->full_screen_action, &QAction::triggered, this,
                     [this] { toggle_full_screen(); });
    QObject::connect(window_->leave_full_screen_action, &QAction::triggered, this,
                     [this] { leave_full_screen(); });
    QObject::connect(window_->scroll_down_action, &QAction::triggered, this, [this] {
        window_->content_box->verticalScrollBar()->triggerAction(
            QAbstractSlider::SliderSingleStepAdd);
    });
}

// The job handle goes with the controller: it stops the reading and never waits.
ReaderController::~ReaderController() { pending_.clear(); }

void ReaderController::init_reader_window() {
    if (!settings_->flag(HIDE_STARTUP_NOTICE, false)) {
        if (seams_.show_notice) {
            if (seams_.show_notice(startup_notice(), QStringLiteral("不再显示")))
                settings_->save_flag(HIDE_STARTUP_NOTICE, true);
        } else {
            seams_.show_message(startup_notice());
        }
    }
    tell_when_no_chinese_font();
    if (window_->content_box->global_down_action->isChecked()) {
        take_global_down_key();
    } else {
        window_->scroll_down_action->setEnabled(true);
    }
    if (library_ == nullptr) return;
    const PlaceLookup place = library_->last_reading_place();
    if (place.found) open_stored(place.found->address);
}

void ReaderController::take_global_down_key() {
    // Stored as it comes: a failed registration leaves Down without effect,
    // and "下一页" still pages.
    paging_hot_key_id_ =
        seams_.register_hot_key(NO_MODIFIERS, VIRTUAL_KEY_DOWN, window_->hot_key_label);
}

void ReaderController::tell_when_no_chinese_font() {
    if (!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty()) return;
    if (settings_->flag(NO_CHINESE_FONT_TOLD, false)) return;
    settings_->save_flag(NO_CHINESE_FONT_TOLD, true);
    seams_.show_message(
        QStringLiteral("没有找到能显示中文的字体，正文会显示成方框。请安装一种中文字体（例如 "
                       "fonts-noto-cjk），然后重新打开本软件。"));
}

void ReaderController::apply_look(const ReadingLook& look) {
    ReadingLook kept = look;
    kept.pixel_size = clamp_text_size(look.pixel_size);
    kept.line_height = std::clamp(look.line_height, SMALLEST_LINE_HEIGHT, LARGEST_LINE_HEIGHT);
    window_->content_box->set_look(kept);
    window_->setPalette(window_palette(kept.theme, QApplication::palette()));
    text_size_ = kept.pixel_size;
    settings_->save_text_size(kept.pixel_size);
    settings_->save_line_height(kept.line_height);
    settings_->save_font_family(kept.family);
    settings_->save_reading_theme(static_cast<int>(kept.theme));
}

void ReaderController::open_reading_settings() {
    auto* dialog = new ReadingSettingsDialog(window_->content_box->look(), window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::accepted, this,
                     [this, dialog] { apply_look(dialog->chosen_look()); });
    dialog->open();
}

void ReaderController::show_site_additions(bool show) {
    window_->content_box->set_show_site_additions(show);
    settings_->save_flag(SHOW_SITE_ADDITIONS, show);
}

void ReaderController::use_global_down_key(bool on) {
    window_->content_box->global_down_action->setChecked(on);
    settings_->save_flag(GLOBAL_DOWN_KEY, on);
    window_->scroll_down_action->setEnabled(!on);
    if (on && paging_hot_key_id_ == 0) take_global_down_key();
    if (!on && paging_hot_key_id_ != 0) {
        if (seams_.unregister_hot_key) seams_.unregister_hot_key(paging_hot_key_id_);
        paging_hot_key_id_ = 0;
    }
}

void ReaderController::toggle_full_screen() {
    if (window_->isFullScreen()) {
        leave_full_screen();
        return;
    }
    window_->showFullScreen();
    window_->content_box->full_screen_action->setChecked(true);
    window_->leave_full_screen_action->setEnabled(true);
}

void ReaderController::leave_full_screen() {
    window_->showNormal();
    window_->content_box->full_screen_action->setChecked(false);
    window_->leave_full_screen_action->setEnabled(false);
}

void ReaderController::fetch_link(const QString& link) {
    clear_placeholder();
    window_->link_box->setText(link);
    fetch_entered_link();
}

bool ReaderController::open_stored(const std::string& link) {
    if (!show_stored(link)) return false;
    show_history_moves();
    return true;
}

void ReaderController::fetch_entered_link() {
    // Exactly as the box holds it: no trimming, no check of the address.
    enqueue(gbk_from_qstring(window_->link_box->text()));
}

void ReaderController::page_next() { enqueue(Step::next); }

void ReaderController::go_back() { enqueue(Step::back); }

void ReaderController::go_forward() { enqueue(Step::forward); }

void ReaderController::refresh() { enqueue(Step::refresh); }

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
        const Step* step = std::get_if<Step>(&press);
        // Paging through pages kept already needs no network.
        if (step != nullptr && *step != Step::refresh && show_stored(*link)) {
            show_history_moves();
            continue;
        }
        fetching_ = true;
        fetching_link_ = std::move(*link);
        fetching_next_ = step != nullptr && *step == Step::next;
        show_history_moves();
        window_->show_fetching(qstring_from_gbk(fetching_link_));
        show_waiting_state();
        job_.start([fetch = seams_.fetch_chapter, link = fetching_link_](
                       const JobLink& run) { return fetch(link, run.stop_token()); },
                   [this](const FetchedChapter& fetched) { show_result(fetched); });
        return;
    }
}

void ReaderController::show_waiting_state() {
    QString text = QStringLiteral("正在获取……");
    if (!pending_.empty()) text += QStringLiteral("（另有 %1 次按键排队）").arg(pending_.size());
    window_->show_state(text, true);
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
        case Step::refresh:
            if (shown_link_.empty()) return std::nullopt;
            return shown_link_;
    }
    return std::nullopt;
}

void ReaderController::show_result(const FetchedChapter& fetched) {
    fetching_ = false;
    const bool has_content = fetched.succeeded() && has_chapter_content(fetched.page);
    if (has_content) {
        keep_in_library(fetching_link_, fetched);
        show_chapter(fetching_link_, fetched.chapter);
        window_->show_fetched();
    } else if (fetching_next_ && (fetched.succeeded() || fetched.status == 404)) {
        // The site has no page after the newest chapter yet: the reader stays put.
        window_->show_fetched();
        window_->show_state(newest_chapter_text(), false);
    } else {
        // The box, the next link and the saved place stay: "下一页" tries again.
        show_failure(fetched.succeeded()
                         ? QStringLiteral("页面中没有正文")
                         : qstring_from_gbk(describe_failure(fetched.error, fetched.status)));
    }
    show_history_moves();
    start_next();
    if (fetching_) show_waiting_state();
}

void ReaderController::show_failure(const QString& reason) {
    window_->show_fetch_failed(reason);
    window_->show_state(QStringLiteral("获取失败：") + reason, false);
}

bool ReaderController::show_stored(const std::string& link) {
    if (library_ == nullptr) return false;
    const PageLookup lookup = library_->page_at(link);
    if (!lookup.found) return false;
    const ChainPage& page = lookup.found->page;
    show_chapter(link, {.title = page.title, .text = page.text, .next_link = page.next_link});
    window_->show_fetched();
    return true;
}

void ReaderController::show_chapter(const std::string& link, const Chapter& chapter) {
    window_->content_box->show_gbk_text(chapter.text);
    next_chapter_link_ = chapter.next_link;
    shown_link_ = link;
    // Back and forward have moved already: the history finds the chapter is
    // its current one.
    history_.visit(link);
    settings_->save_reading_place({.chapter_link = link, .next_link = next_chapter_link_});
    if (library_ != nullptr) {
        const std::string book = chapter_index_of(link).book_number;
        // Pages off the library's address rules are read, not kept.
        (void)library_->set_reading_place(book, link, QDateTime::currentSecsSinceEpoch());
    }
    clear_placeholder();
    window_->link_box->setText(qstring_from_gbk(link));
    show_history_moves();
    window_->show_state(
        qstring_from_gbk(chapter.title) + QStringLiteral("　") + qstring_from_gbk(link), false);
}

void ReaderController::keep_in_library(const std::string& link, const FetchedChapter& fetched) {
    if (library_ == nullptr) return;
    const BookInfo book = extract_book_info(fetched.page, chapter_index_of(link).book_number);
    // A page the library cannot keep is still shown: reading never stops for it.
    (void)library_->store_page({.address = link,
                                .chapter = fetched.chapter,
                                .book = book,
                                .fetched_at = QDateTime::currentSecsSinceEpoch()});
}

void ReaderController::show_history_moves() {
    window_->content_box->back_action->setEnabled(history_.can_go_back());
    window_->content_box->forward_action->setEnabled(history_.can_go_forward());
    window_->content_box->refresh_action->setEnabled(!shown_link_.empty());
}

}  // namespace novel
