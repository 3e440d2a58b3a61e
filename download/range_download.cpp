#include "download/range_download.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <random>
#include <unordered_set>
#include <utility>

#include "chapter/chapter_extraction.h"
#include "chapter/chapter_fetch.h"
#include "chapter/site.h"
#include "download/journal.h"
#include "download/journal_writer.h"
#include "http/header_cookies.h"
#include "platform/content_hash.h"
#include "platform/files.h"
#include "platform/gbk.h"
#include "text/text_cutting.h"

namespace novel {
namespace {

using std::chrono::steady_clock;
constexpr std::string_view kLineEnd = "\r\n";

double random_jitter() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

// Waits in steps of at most a second, telling each step how long is left;
// false when stop was requested meanwhile.
bool wait_for_retry(Milliseconds wait, const std::stop_token& stop,
                    const std::function<void(Milliseconds left)>& tick) {
    std::mutex mutex;
    std::condition_variable_any stopped;
    std::unique_lock lock(mutex);
    const steady_clock::time_point deadline = steady_clock::now() + wait;
    while (!stop.stop_requested()) {
        const auto left = std::chrono::ceil<Milliseconds>(deadline - steady_clock::now());
        if (left <= Milliseconds(0)) return true;
        tick(left);
        stopped.wait_for(lock, stop, std::min<Milliseconds>(left, Milliseconds(1000)),
                         [] { return false; });
    }
    return false;
}

// Why an answer is no chapter, in a few GBK words.
std::string failure_reason(const PageAnswer& answer) {
    if (!answer.succeeded()) {
        return describe_failure(answer.error, answer.status);
    }
    if (answer.body.empty()) return utf16_to_gbk(u"页面是空的");
    return utf16_to_gbk(u"页面中没有正文");
}

// What a run starts from: the beginning of a fresh one, or a journal.
struct RunStart {
    RangeRequest request;
    std::string link;
    std::uint64_t pages = 0;
    std::uint64_t file_length = 0;
    std::uint64_t links_length = 0;
    std::unordered_set<std::string> fetched;
    ContentHash file_hash;  // of the file's bytes so far
    bool fresh = true;      // the file is emptied once the first page is here
    bool utf8 = false;
};

class Run {
public:
    Run(PageSource& source, const DownloadOptions& options, const DownloadHooks& hooks,
        std::stop_token stop)
        : source_(source), options_(options), hooks_(hooks), stop_(std::move(stop)) {}

    RangeResult walk(RunStart start);

private:
    struct Fetched {
        AnswerKind kind = AnswerKind::failed;
        ByteData body;
        std::string reason;
        bool retries_ran_out = false;
        bool not_found = false;  // the site answered 404
    };

    Fetched fetch_with_retries(const std::string& link);
    void report() {
        if (hooks_.progress) hooks_.progress(progress_);
    }
    RangeResult ended(RangeEnd end) { return {.end = end, .pages = progress_.pages}; }
    RangeResult file_failed(FileStep step, std::string reason) {
        return {.end = RangeEnd::file_failed,
                .pages = progress_.pages,
                .failed_step = step,
                .file_reason = std::move(reason)};
    }
    // A run that ended by its own rules leaves nothing to continue.
    RangeResult finished(RangeEnd end);
    // A run broken off keeps its journal, on disk before the run reports.
    RangeResult broken_off(RangeResult result);

    // The steps of one page; each gives the run's result when the run ends there.
    std::optional<RangeResult> fetch_page(const std::string& link, Fetched* fetched);
    std::optional<RangeResult> write_page(const std::string& link, const Chapter& chapter,
                                          std::string_view page);
    // The stop rules, then the journal: the chain moves on to next.
    std::optional<RangeResult> go_on(const std::string& link, const std::string& next);

    PageSource& source_;
    const DownloadOptions& options_;
    const DownloadHooks& hooks_;
    std::stop_token stop_;
    DownloadProgress progress_;
    std::optional<JournalWriter> journal_;
    RunStart run_;  // what the run started from, and its fetched set and hash since
    std::string end_link_;
    std::string piece_;  // the page's bytes as they go to the file
};

Run::Fetched Run::fetch_with_retries(const std::string& link) {
    for (int retry = 0;; ++retry) {
        PageAnswer answer = source_.fetch(link, stop_);
        if (stop_.stop_requested()) return {.kind = AnswerKind::stopped};
        const AnswerKind kind =
            classify_answer(answer.error, answer.status, has_chapter_content(answer.body));
        if (kind == AnswerKind::page || kind == AnswerKind::stopped) {
            return {.kind = kind, .body = std::move(answer.body)};
        }
        std::string reason = failure_reason(answer);
        if (kind == AnswerKind::failed) {
            return {.kind = kind, .reason = std::move(reason), .not_found = answer.status == 404};
        }
        // A page without its chapter is the site's way of saying "too many".
        const bool no_chapter = answer.succeeded();
        if (answer.status == 429 || answer.status == 503 || no_chapter) source_.slow_down();
        if (retry == options_.retry.retries) {
            // A page that never showed its chapter is no network failure.
            if (no_chapter) return {.kind = AnswerKind::failed, .reason = std::move(reason)};
            reason += utf16_to_gbk(u"（已重试") + std::to_string(retry) + utf16_to_gbk(u"次）");
            return {
                .kind = AnswerKind::failed, .reason = std::move(reason), .retries_ran_out = true};
        }
        std::optional<Milliseconds> retry_after;
        if (const auto value = header_in(answer.headers, "Retry-After")) {
            retry_after = parse_retry_after(*value, std::chrono::system_clock::now());
        }
        const Milliseconds wait =
            retry_wait(options_.retry, retry + 1, hooks_.jitter ? hooks_.jitter() : random_jitter(),
                       retry_after);
        const bool waited = wait_for_retry(wait, stop_, [&](Milliseconds left) {
            progress_.waiting =
                DownloadProgress::Wait{.retry = retry + 1, .left = left, .reason = reason};
            report();
        });
        progress_.waiting.reset();
        if (!waited) return {.kind = AnswerKind::stopped};
    }
}

RangeResult Run::finished(RangeEnd end) {
    journal_.reset();  // its thread ends before the files go
    if (FileResult removed = remove_journal(options_.output_path); !removed.ok) {
        return file_failed(FileStep::journal, std::move(removed.reason));
    }
    return ended(end);
}

RangeResult Run::broken_off(RangeResult result) {
    // A file that failed already says more than the journal that failed with it.
    if (journal_ && result.end != RangeEnd::file_failed) {
        if (FileResult flushed = journal_->flush(); !flushed.ok) {
            return file_failed(FileStep::journal, std::move(flushed.reason));
        }
    }
    return result;
}

std::optional<RangeResult> Run::fetch_page(const std::string& link, Fetched* fetched) {
    run_.fetched.insert(link);
    progress_.fetching = link;
    report();
    *fetched = fetch_with_retries(link);
    if (fetched->kind == AnswerKind::stopped) return broken_off(ended(RangeEnd::stopped));
    if (fetched->kind != AnswerKind::failed) return std::nullopt;
    // Without an end the run goes as far as the book does: a next link to a
    // page the site has not got yet is the book's newest chapter reached,
    // not a failure. Only the start page's 404 is one.
    if (run_.request.end.empty() && fetched->not_found && progress_.pages > 0) {
        return finished(RangeEnd::newest_chapter);
    }
    RangeResult failed = ended(RangeEnd::fetch_failed);
    failed.failed_link = link;
    failed.fetch_reason = fetched->reason;
    failed.network_failed = fetched->retries_ran_out;
    return broken_off(std::move(failed));
}

std::optional<RangeResult> Run::write_page(const std::string& link, const Chapter& chapter,
                                           std::string_view page) {
    const std::string& path = options_.output_path;
    if (run_.fresh) {
        // Only now that a page is here does the earlier download go.
        if (FileResult emptied = truncate_file(path, 0); !emptied.ok) {
            return file_failed(FileStep::open, std::move(emptied.reason));
        }
        if (FileResult dropped = remove_journal(path); !dropped.ok) {
            return file_failed(FileStep::journal, std::move(dropped.reason));
        }
        journal_.emplace(path, 0);
        run_.fresh = false;
    }
    piece_.assign(kLineEnd).append(chapter.text);
    if (run_.utf8) piece_ = utf8_from_gbk(piece_);
    if (FileResult appended = append_file(path, piece_); !appended.ok) {
        return broken_off(file_failed(FileStep::append, std::move(appended.reason)));
    }
    ++progress_.pages;
    progress_.file_bytes += piece_.size();
    run_.file_hash.add(piece_);
    progress_.last_title = chapter.title;
    report();
    if (hooks_.page_written) hooks_.page_written({.link = link, .chapter = chapter, .page = page});
    return std::nullopt;
}

std::optional<RangeResult> Run::go_on(const std::string& link, const std::string& next) {
    if (link == end_link_) return finished(RangeEnd::reached_end);
    if (next == SITE_ORIGIN) return finished(RangeEnd::no_next_link);
    if (run_.fetched.contains(next)) return finished(RangeEnd::repeated_link);
    journal_->record({.book = run_.request.book,
                      .start = run_.request.start,
                      .end = run_.request.end,
                      .next_link = next,
                      .file_length = progress_.file_bytes,
                      .pages = progress_.pages,
                      .utf8 = run_.utf8,
                      .fingerprint = run_.file_hash.value()},
                     link);
    if (std::optional<FileResult> failure = journal_->failure()) {
        return file_failed(FileStep::journal, std::move(failure->reason));
    }
    source_.chain_moved(link, next);
    return std::nullopt;
}

RangeResult Run::walk(RunStart start) {
    run_ = std::move(start);
    end_link_ = chapter_address(run_.request.book, run_.request.end);
    progress_.pages = run_.pages;
    progress_.file_bytes = run_.file_length;
    if (!run_.fresh) journal_.emplace(options_.output_path, run_.links_length);
    source_.run_starts(end_link_, options_.page_limit > progress_.pages
                                      ? options_.page_limit - progress_.pages
                                      : 0);
    std::string link = run_.link;
    while (true) {
        if (link != end_link_ && progress_.pages >= options_.page_limit) {
            return finished(RangeEnd::page_limit);
        }
        Fetched fetched;
        if (std::optional<RangeResult> ended_here = fetch_page(link, &fetched)) return *ended_here;
        const Chapter chapter = extract_chapter(fetched.body);
        if (std::optional<RangeResult> ended_here = write_page(link, chapter, fetched.body)) {
            return *ended_here;
        }
        if (std::optional<RangeResult> ended_here = go_on(link, chapter.next_link)) {
            return *ended_here;
        }
        link = chapter.next_link;
    }
}

}  // namespace

RangeResult download_range(const RangeRequest& request, PageSource& pages,
                           const DownloadOptions& options, const DownloadHooks& hooks,
                           std::stop_token stop) {
    // Nothing is fetched for a file that cannot be written.
    if (FileResult writable = open_for_writing(options.output_path); !writable.ok) {
        return {.end = RangeEnd::file_failed,
                .failed_step = FileStep::open,
                .file_reason = std::move(writable.reason)};
    }
    RunStart start{.request = request,
                   .link = chapter_address(request.book, request.start),
                   .utf8 = options.utf8};
    return Run(pages, options, hooks, std::move(stop)).walk(std::move(start));
}

RangeResult continue_range(PageSource& pages, const DownloadOptions& options,
                           const DownloadHooks& hooks, std::stop_token stop,
                           const std::optional<RangeRequest>& expected) {
    std::optional<Journal> journal = read_journal(options.output_path);
    if (!journal) return {.end = RangeEnd::no_journal};
    const JournalState& state = journal->state;
    const RangeRequest journal_range{state.book, state.start, state.end};
    const auto refused = [&](JournalProblem problem) {
        return RangeResult{.end = RangeEnd::journal_refused,
                           .pages = state.pages,
                           .journal_problem = problem,
                           .journal_range = journal_range};
    };
    const auto cut_failure = [&](std::string reason) {
        return RangeResult{.end = RangeEnd::file_failed,
                           .pages = state.pages,
                           .failed_step = FileStep::cut_back,
                           .file_reason = std::move(reason)};
    };
    // A journal is only a file beside the output: nothing in it may lead
    // the run off the site, onto another book, or cut a file it did not write.
    if (!is_site_address(state.next_link)) return refused(JournalProblem::other_site);
    if (expected && (expected->book != state.book || expected->start != state.start ||
                     expected->end != state.end)) {
        return refused(JournalProblem::other_range);
    }
    const std::optional<std::uint64_t> size = file_size(options.output_path);
    if (!size) return cut_failure("文件已不存在");
    if (*size < state.file_length) return cut_failure("文件比进度记录中的短");
    const std::optional<std::uint64_t> prefix =
        hash_file_prefix(options.output_path, state.file_length);
    if (!prefix) return cut_failure("无法读取文件");
    if (*prefix != state.fingerprint) return refused(JournalProblem::file_changed);
    // The pages behind the last one the journal counts may be whole or
    // not: they go, and are fetched again.
    if (FileResult cut = truncate_file(options.output_path, state.file_length); !cut.ok) {
        return cut_failure(std::move(cut.reason));
    }
    RunStart start{.request = journal_range,
                   .link = state.next_link,
                   .pages = state.pages,
                   .file_length = state.file_length,
                   .links_length = state.links_length,
                   .fetched = {journal->fetched_links.begin(), journal->fetched_links.end()},
                   .file_hash = ContentHash(state.fingerprint),
                   .fresh = false,
                   .utf8 = state.utf8};
    return Run(pages, options, hooks, std::move(stop)).walk(std::move(start));
}

}  // namespace novel
