#pragma once
// What the reader window does: the start-up notice and the paging hot key,
// the link box's placeholder, and readings. A reading runs on a worker
// thread; presses of "获取", "下一页" and Down made meanwhile wait their turn
// and are served in the order they were made.

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <deque>
#include <optional>
#include <stop_token>
#include <string>

#include "app/program_seams.h"

namespace novel {

class ReaderWindow;

class ReaderController final : public QObject {
public:
    ReaderController(ReaderWindow* window, const ProgramSeams& seams);
    // Abandons a reading under way and waits for its worker, which the stop
    // request ends at once.
    ~ReaderController() override;
    ReaderController(const ReaderController&) = delete;
    ReaderController& operator=(const ReaderController&) = delete;

    // The window was created: the notice first, then the hot key, so Down
    // cannot page before the notice is dismissed.
    void init_reader_window();

    // The address of the chapter after the one shown last; empty before the
    // first reading.
    [[nodiscard]] const std::string& next_chapter_link() const { return next_chapter_link_; }
    [[nodiscard]] std::int32_t paging_hot_key_id() const { return paging_hot_key_id_; }
    // A reading is under way or waiting.
    [[nodiscard]] bool busy() const { return fetching_ || !pending_.empty(); }

    void fetch_entered_link();
    void page_next();
    void on_paging_hot_key(std::int32_t identifier, std::int32_t second);
    void clear_placeholder();
    void restore_placeholder();

private:
    // A press waiting its turn: the link box's text as it was when pressed,
    // or nothing for "the next link when its turn comes".
    using Press = std::optional<std::string>;

    void enqueue(Press press);
    void start_next();
    void show_result();

    ReaderWindow* window_;
    const ProgramSeams& seams_;
    std::string next_chapter_link_;
    std::int32_t paging_hot_key_id_ = 0;

    std::deque<Press> pending_;
    bool fetching_ = false;
    std::stop_source stop_;
    QFutureWatcher<FetchedChapter> watcher_;
    QThreadPool worker_;
};

}  // namespace novel
