#include "update/update_books.h"

#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <random>
#include <unordered_set>

#include "chapter/book_info.h"
#include "chapter/chapter_extraction.h"
#include "chapter/chapter_fetch.h"
#include "chapter/site.h"
#include "download/range_download.h"
#include "http/header_cookies.h"
#include "platform/gbk.h"

namespace novel {
namespace {

double random_jitter() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

// False when stop was requested before the time was up.
bool pause(std::chrono::milliseconds wait, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    return !never.wait_for(lock, stop, wait, [] { return false; }) && !stop.stop_requested();
}

struct Fetched {
    enum class Kind { page, no_chapter, network_failed, stopped } kind = Kind::no_chapter;
    ByteData body;
    std::string reason;
};

class BookUpdater {
public:
    BookUpdater(Library& library, PageSource& pages, const UpdateOptions& options,
                const std::stop_token& stop, std::string book_number)
        : library_(library), pages_(pages), options_(options), stop_(stop) {
        result_.book_number = std::move(book_number);
    }

    BookUpdate run();

private:
    Fetched fetch(const std::string& link);
    // False, with the result set, when the library failed.
    bool keep(const std::string& link, const Chapter& chapter, std::string_view page);
    BookUpdate& ended(UpdateOutcome outcome, std::string reason = {}) {
        result_.outcome = outcome;
        result_.reason = std::move(reason);
        return result_;
    }
    void report(const std::string& link, std::optional<std::chrono::milliseconds> wait) {
        if (options_.progress) {
            options_.progress({.book_number = result_.book_number,
                               .fetching = link,
                               .new_pages = result_.new_pages,
                               .retry_wait = wait});
        }
    }
    [[nodiscard]] std::int64_t now() const {
        return options_.now ? options_.now() : static_cast<std::int64_t>(std::time(nullptr));
    }

    Library& library_;
    PageSource& pages_;
    const UpdateOptions& options_;
    const std::stop_token& stop_;
    BookUpdate result_;
};

Fetched BookUpdater::fetch(const std::string& link) {
    using Kind = Fetched::Kind;
    for (int retry = 0;; ++retry) {
        report(link, std::nullopt);
        PageAnswer answer = pages_.fetch(link, stop_);
        ++result_.requests;
        if (stop_.stop_requested()) return {.kind = Kind::stopped};
        const AnswerKind kind =
            classify_answer(answer.error, answer.status, has_chapter_content(answer.body));
        if (kind == AnswerKind::page) return {.kind = Kind::page, .body = std::move(answer.body)};
        if (kind == AnswerKind::stopped) return {.kind = Kind::stopped};
        // A 404 or a page without its chapter: nothing (newer) there yet.
        const bool answered = answer.error == TransportError::none && answer.status / 100 == 2;
        if (kind == AnswerKind::failed || answered) return {.kind = Kind::no_chapter};
        std::string reason = describe_failure(answer.error, answer.status);
        if (answer.status == 429 || answer.status == 503) pages_.slow_down();
        if (retry == options_.retry.retries) {
            reason += utf16_to_gbk(u"（已重试") + std::to_string(retry) + utf16_to_gbk(u"次）");
            return {.kind = Kind::network_failed, .reason = std::move(reason)};
        }
        std::optional<Milliseconds> retry_after;
        if (const auto value = header_in(answer.headers, "Retry-After")) {
            retry_after = parse_retry_after(*value, std::chrono::system_clock::now());
        }
        const Milliseconds wait =
            retry_wait(options_.retry, retry + 1,
                       options_.jitter ? options_.jitter() : random_jitter(), retry_after);
        report(link, wait);
        if (!pause(wait, stop_)) return {.kind = Kind::stopped};
    }
}

bool BookUpdater::keep(const std::string& link, const Chapter& chapter, std::string_view page) {
    const BookInfo book = extract_book_info(page, result_.book_number);
    const StoreResult stored = library_.store_page(
        {.address = link, .chapter = chapter, .book = book, .fetched_at = now()});
    if (stored.outcome != StoreOutcome::failed) return true;
    ended(UpdateOutcome::library_failed, stored.status.message);
    return false;
}

BookUpdate BookUpdater::run() {
    const std::string& book = result_.book_number;
    std::deque<ChainPage> last;
    std::unordered_set<std::string> stored;
    {
        const Chain chain = library_.chain(book);
        if (!chain.status.ok()) return ended(UpdateOutcome::library_failed, chain.status.message);
        result_.name = chain.book.name;
        if (chain.pages == 0) return ended(UpdateOutcome::not_stored);
        chain.walk([&](const ChainItem& item) {
            if (const auto* page = std::get_if<ChainPage>(&item)) {
                stored.insert(page->address);
                last.push_back(*page);
                if (last.size() > kPagesCheckedAgain) last.pop_front();
            }
            return true;
        });
        if (!chain.walk_status->ok()) {
            return ended(UpdateOutcome::library_failed, chain.walk_status->message);
        }
    }

    // The last pages again, oldest first, so the newest page's next link is the site's own now.
    std::string next_link = last.back().next_link;
    for (const ChainPage& page : last) {
        const Fetched fetched = fetch(page.address);
        if (fetched.kind == Fetched::Kind::stopped) return ended(UpdateOutcome::stopped);
        if (fetched.kind == Fetched::Kind::network_failed) {
            return ended(UpdateOutcome::network_failed, fetched.reason);
        }
        if (fetched.kind != Fetched::Kind::page) continue;  // gone from the site: keep what we have
        const Chapter chapter = extract_chapter(fetched.body);
        if (chapter.text != page.text || chapter.title != page.title) ++result_.updated_pages;
        if (!keep(page.address, chapter, fetched.body)) return result_;
        if (&page == &last.back()) next_link = chapter.next_link;
    }

    // Then along the next links while they lead to chapters, as a download walks.
    while (may_lead_to_chapter(next_link, book) && !stored.contains(next_link) &&
           result_.new_pages < MAX_PAGES_PER_RUN) {
        const std::string link = next_link;
        const Fetched fetched = fetch(link);
        if (fetched.kind == Fetched::Kind::stopped) return ended(UpdateOutcome::stopped);
        if (fetched.kind == Fetched::Kind::network_failed) {
            return ended(UpdateOutcome::network_failed, fetched.reason);
        }
        if (fetched.kind != Fetched::Kind::page) break;
        const Chapter chapter = extract_chapter(fetched.body);
        if (!keep(link, chapter, fetched.body)) return result_;
        stored.insert(link);
        ++result_.new_pages;
        // A chapter's further pages (N_2) are pages, not chapters.
        if (chapter_index_of(link).chapter_number.find('_') == std::string::npos) {
            result_.new_chapters.push_back({.address = link, .title = chapter.title});
        }
        pages_.chain_moved(link, chapter.next_link);
        next_link = chapter.next_link;
    }
    if (const BookLookup facts = library_.book(book); facts.found) result_.name = facts.found->name;
    return ended(UpdateOutcome::checked);
}

}  // namespace

bool may_lead_to_chapter(std::string_view link, std::string_view book_number) {
    if (!is_site_address(link)) return false;
    const ChapterIndex index = chapter_index_of(link);
    return index.book_number == book_number && !index.chapter_number.empty() &&
           link == chapter_address(book_number, index.chapter_number);
}

std::vector<BookUpdate> update_books(Library& library, const std::vector<std::string>& books,
                                     PageSource& pages, const UpdateOptions& options,
                                     std::stop_token stop) {
    std::vector<std::string> numbers = books;
    std::vector<BookUpdate> results;
    if (numbers.empty()) {
        const Bookshelf shelf = library.bookshelf();
        if (!shelf.status.ok()) {
            results.push_back(
                {.outcome = UpdateOutcome::library_failed, .reason = shelf.status.message});
            return results;
        }
        for (const BookshelfRow& row : shelf.rows) numbers.push_back(row.book.book_number);
    }
    for (std::size_t at = 0; at < numbers.size(); ++at) {
        // One book at a time, and a breath between books: the site is one.
        if (at > 0 && !pause(options.pause_between_books, stop)) {
            results.push_back({.book_number = numbers[at], .outcome = UpdateOutcome::stopped});
            continue;
        }
        if (stop.stop_requested()) {
            results.push_back({.book_number = numbers[at], .outcome = UpdateOutcome::stopped});
            continue;
        }
        results.push_back(BookUpdater(library, pages, options, stop, numbers[at]).run());
    }
    return results;
}

}  // namespace novel
