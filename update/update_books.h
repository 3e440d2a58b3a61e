#pragma once
// Bringing stored books up to date: the last pages fetched again (a
// placeholder filled in, a correction), then the next links followed while
// they lead to chapters. Above download/ and library/; prints nothing: the
// results come back as data, progress through a hook. Texts are GBK.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "download/page_source.h"
#include "download/retry_policy.h"
#include "library/library.h"

namespace novel {

// How many of a book's last stored pages are fetched again.
inline constexpr std::size_t kPagesCheckedAgain = 3;

struct UpdateProgress {
    std::string book_number;
    std::string fetching;                                 // the address asked for now
    std::size_t new_pages = 0;                            // of this book so far
    std::optional<std::chrono::milliseconds> retry_wait;  // set while a retry waits
};

struct UpdateOptions {
    RetryPolicy retry;
    std::chrono::milliseconds pause_between_books{1000};
    std::function<void(const UpdateProgress&)> progress;
    std::function<double()> jitter;     // [0, 1) for the retry waits; unset: random
    std::function<std::int64_t()> now;  // seconds since the epoch for fetched_at; unset: the clock
};

enum class UpdateOutcome {
    checked,         // the book is as new as the site has it
    network_failed,  // a page could not be had, retries included; what came before is stored
    library_failed,  // the library could not be read or written
    not_stored,      // no page of the book is in the library
    stopped,
};

struct NewChapter {
    std::string address;
    std::string title;
};

struct BookUpdate {
    std::string book_number;
    std::string name;  // as the library has it after the update
    UpdateOutcome outcome = UpdateOutcome::checked;
    std::vector<NewChapter> new_chapters;  // first pages of new chapters, in chain order
    std::size_t new_pages = 0;             // split chapters' further pages included
    std::size_t updated_pages = 0;         // stored pages whose text changed
    std::string reason;                    // why it failed, in a few words
    std::size_t requests = 0;              // sent for this book, retries included
};

// Each book in turn, with a pause between books; every book of the library
// when books is empty. Stops between requests when stop is requested.
[[nodiscard]] std::vector<BookUpdate> update_books(Library& library,
                                                   const std::vector<std::string>& books,
                                                   PageSource& pages, const UpdateOptions& options,
                                                   std::stop_token stop);

// Whether a next link may lead to a newer chapter of the book: a chapter
// address of its own on the site, not the origin alone or the book's folder.
[[nodiscard]] bool may_lead_to_chapter(std::string_view link, std::string_view book_number);

}  // namespace novel
