#pragma once
// What the reader window does: the start-up notice and the paging hot key,
// the link box's placeholder, readings, going back and forward through the
// chapters read, and the text size. A reading runs on a worker thread;
// presses of "获取", "下一页", Down, back and forward made meanwhile wait
// their turn and are served in the order they were made. The place in the
// book and the text size outlive the run in the reader's settings. Every
// chapter shown is kept in the library, from which paging on needs no
// network when the next page is there already.

#include <QObject>
#include <cstdint>
#include <deque>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "app/job.h"
#include "app/program_seams.h"
#include "app/reading_history.h"
#include "app/reading_look.h"

namespace novel {

class Library;
class ReaderSettings;
class ReaderWindow;

class ReaderController final : public QObject {
public:
    // The settings and the library outlive the controller; without a
    // library the reader reads from the network alone.
    ReaderController(ReaderWindow* window, const ProgramSeams& seams, ReaderSettings* settings,
                     Library* library);
    // Abandons a reading under way without waiting for it.
    ~ReaderController() override;
    ReaderController(const ReaderController&) = delete;
    ReaderController& operator=(const ReaderController&) = delete;

    // The window was created: the notice first, then the hot key, so Down
    // cannot page before the notice is dismissed; the last chapter read is
    // shown from the library.
    void init_reader_window();

    // The address of the chapter after the one shown last; at start-up the
    // one saved after the last chapter shown in an earlier run.
    [[nodiscard]] const std::string& next_chapter_link() const { return next_chapter_link_; }
    [[nodiscard]] std::int32_t paging_hot_key_id() const { return paging_hot_key_id_; }
    // A reading is under way or waiting.
    [[nodiscard]] bool busy() const { return fetching_ || !pending_.empty(); }

    void fetch_entered_link();
    void page_next();
    void go_back();
    void go_forward();
    // The shown chapter from the network again; a changed text replaces the kept one.
    void refresh();
    // A chapter the library holds, shown at once (the bookshelf's jumps);
    // false when it is not there.
    bool open_stored(const std::string& link);
    // By that many steps; 0 returns to the default size.
    void change_text_size(int steps);
    void on_paging_hot_key(std::int32_t identifier, std::int32_t second);
    // The reading view's look, shown and remembered.
    void apply_look(const ReadingLook& look);
    // 「阅读设置」: not modal; its OK applies what it shows.
    void open_reading_settings();
    void show_site_additions(bool show);
    // 「全局下键翻页」: on takes the system-wide Down key, off gives it back
    // and Down scrolls the box while the window has the keyboard.
    void use_global_down_key(bool on);
    void toggle_full_screen();
    void leave_full_screen();
    // A chapter address from outside (a later start): into the link box and read.
    void fetch_link(const QString& link);
    void clear_placeholder();
    void restore_placeholder();

private:
    // Steps through the book, taken from where the reading stands when
    // their turn comes.
    enum class Step { next, back, forward, refresh };
    // A press waiting its turn: the link box's text as it was when pressed,
    // or a step.
    using Press = std::variant<std::string, Step>;

    void enqueue(Press press);
    void start_next();
    // The link a press reads when its turn comes; nothing when there is no
    // chapter to go back or forward to.
    [[nodiscard]] std::optional<std::string> link_of(const Press& press);
    void show_result(const FetchedChapter& fetched);
    // Shows the chapter the library keeps at link; false when there is none.
    bool show_stored(const std::string& link);
    void show_chapter(const std::string& link, const Chapter& chapter);
    void keep_in_library(const std::string& link, const FetchedChapter& fetched);
    void show_failure(const QString& reason);
    void show_waiting_state();
    // Back and forward are offered only where the history leads somewhere.
    void show_history_moves();
    void take_global_down_key();
    void tell_when_no_chinese_font();

    ReaderWindow* window_;
    const ProgramSeams& seams_;
    ReaderSettings* settings_;
    std::string next_chapter_link_;
    ReadingHistory history_;
    int text_size_;
    std::int32_t paging_hot_key_id_ = 0;

    std::deque<Press> pending_;
    bool fetching_ = false;
    std::string fetching_link_;   // of the reading under way
    bool fetching_next_ = false;  // it pages on: a missing page is the newest chapter's next
    std::string shown_link_;      // of the chapter in the box
    Library* library_;
    JobHandle job_;
};

}  // namespace novel
