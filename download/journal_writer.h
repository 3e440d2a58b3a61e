#pragma once
// Keeps the journal of a running download on disk from a thread of its own:
// syncing to the disk takes milliseconds, longer than a page takes to fetch
// on a fast connection, so the run records its state and goes on. The
// writer writes the latest state it has, at most every kJournalInterval
// (a sync also holds up the run's own appends to the file), so the journal
// may lag a little behind the file, never run ahead of it: the output file
// is synced before the state that counts its bytes is written.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "download/journal.h"
#include "platform/files.h"

namespace novel {

inline constexpr std::chrono::milliseconds kJournalInterval{200};

class JournalWriter {
public:
    // The links file is cut to links_length first (a fresh run passes 0),
    // so that what follows continues the counted lines.
    JournalWriter(std::string output_path, std::uint64_t links_length);
    // Writes what is still pending, then stops.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // The file holds state's pages, and link was fetched for the last of
    // them; state.links_length is filled in here. Returns at once.
    void record(JournalState state, const std::string& link);

    // Waits until everything recorded is on disk; the first failure, if any.
    [[nodiscard]] FileResult flush();
    // The first failure so far, without waiting.
    [[nodiscard]] std::optional<FileResult> failure() const;

private:
    void run();

    const std::string output_path_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t links_length_;
    std::optional<JournalState> pending_;
    std::string pending_links_;
    bool busy_ = false;
    bool closing_ = false;
    bool flushing_ = false;
    std::optional<FileResult> failure_;
    std::thread thread_;
};

}  // namespace novel
