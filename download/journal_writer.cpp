#include "download/journal_writer.h"

#include <utility>

namespace novel {

JournalWriter::JournalWriter(std::string output_path, std::uint64_t links_length)
    : output_path_(std::move(output_path)), links_length_(links_length) {
    const std::string links = journal_links_path(output_path_);
    FileResult ready = open_for_writing(links, Links::refuse);
    if (ready.ok) ready = truncate_file(links, links_length, Links::refuse);
    if (!ready.ok) failure_ = std::move(ready);
    thread_ = std::thread([this] { run(); });
}

JournalWriter::~JournalWriter() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void JournalWriter::record(JournalState state, const std::string& link) {
    {
        const std::lock_guard lock(mutex_);
        pending_links_ += journal_links_line(link);
        links_length_ += journal_links_line(link).size();
        state.links_length = links_length_;
        pending_ = std::move(state);
    }
    changed_.notify_all();
}

FileResult JournalWriter::flush() {
    std::unique_lock lock(mutex_);
    flushing_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return failure_ || (!pending_ && !busy_); });
    flushing_ = false;
    return failure_.value_or(FileResult{});
}

std::optional<FileResult> JournalWriter::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void JournalWriter::run() {
    std::unique_lock lock(mutex_);
    auto next_write = std::chrono::steady_clock::now();
    while (true) {
        changed_.wait(lock, [this] { return closing_ || pending_; });
        // States that come meanwhile replace each other; flushing and
        // closing do not wait.
        changed_.wait_until(lock, next_write, [this] { return closing_ || flushing_; });
        if (!pending_ || failure_) {
            if (closing_) return;
            pending_.reset();
            continue;
        }
        const JournalState state = std::move(*pending_);
        const std::string links = std::exchange(pending_links_, {});
        pending_.reset();
        busy_ = true;
        lock.unlock();

        // The pages and links the state counts reach the disk before it does.
        FileResult written = append_file(journal_links_path(output_path_), links, Links::refuse);
        if (written.ok) written = sync_file(journal_links_path(output_path_));
        if (written.ok) written = sync_file(output_path_);
        if (written.ok) {
            written =
                replace_file_atomically(journal_path(output_path_), encode_journal_state(state));
        }

        lock.lock();
        next_write = std::chrono::steady_clock::now() + kJournalInterval;
        busy_ = false;
        if (!written.ok && !failure_) failure_ = std::move(written);
        changed_.notify_all();
    }
}

}  // namespace novel
