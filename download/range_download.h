#pragma once
// The chapter-range download without windows: from the start address along
// the pages' next links to the end address, each page appended to the output
// file as it comes, with retries, a stop that takes effect at once, progress,
// and a journal from which an unfinished run continues to the same bytes.
// Texts are GBK; paths are file-system names (UTF-8).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "chapter/chapter_extraction.h"
#include "chapter/site.h"
#include "download/page_source.h"
#include "download/retry_policy.h"

namespace novel {

// The output file's name.
inline constexpr std::string_view OUTPUT_FILE_NAME = "文本.txt";

// A run that has not reached the end address after this many pages stops.
inline constexpr std::size_t MAX_PAGES_PER_RUN = 20000;

// The three boxes, exactly as typed.
struct RangeRequest {
    std::string book;
    std::string start;
    std::string end;
};

// How far a run has got; reported after every page and every second of a wait.
struct DownloadProgress {
    std::uint64_t pages = 0;       // in the file, a continued run's earlier pages included
    std::uint64_t file_bytes = 0;  // the file's length after them
    std::string last_title;        // of the page written last
    std::string fetching;          // the address asked for now
    struct Wait {
        int retry = 0;  // 1 for the first
        std::chrono::milliseconds left{0};
        std::string reason;  // why the last attempt failed
    };
    std::optional<Wait> waiting;  // set while a retry waits
};

// A page the run has just appended to its file.
struct WrittenPage {
    const std::string& link;
    const Chapter& chapter;
    std::string_view page;  // the page's bytes as the site sent them
};

struct DownloadHooks {
    std::function<void(const DownloadProgress&)> progress;
    // After each page is in the file; the front ends keep the page elsewhere
    // too (the library). Whatever it does cannot change the run.
    std::function<void(const WrittenPage&)> page_written;
    // A number in [0, 1) for the retry waits' jitter; unset: random.
    std::function<double()> jitter;
};

struct DownloadOptions {
    std::string output_path;
    // Pages go to the file as GBK (the windows' format) or UTF-8; line ends
    // are CR LF either way. A continued run keeps the encoding it began with.
    bool utf8 = false;
    std::size_t page_limit = MAX_PAGES_PER_RUN;
    RetryPolicy retry;
};

enum class RangeEnd {
    reached_end,      // the page at the end address was fetched last
    no_next_link,     // a page named no next page
    newest_chapter,   // no end was given, and the next link led to a page not there yet (404)
    repeated_link,    // a next link led back to a page of this run
    page_limit,       // page_limit pages without reaching the end address
    stopped,          // the user stopped it
    fetch_failed,     // a page could not be had, retries included
    file_failed,      // the output file or the journal could not be written
    no_journal,       // continuing: there is no unfinished run to continue
    journal_refused,  // continuing: the journal does not fit its file, the site or the range
};

// Why a journal was not continued; the file is left as it was.
enum class JournalProblem {
    none,
    other_site,    // its next address leads off the site
    file_changed,  // the file is not the one the journal was written for
    other_range,   // it continues another book or range than the one asked for
};

enum class FileStep { open, append, journal, cut_back };

struct RangeResult {
    RangeEnd end = RangeEnd::reached_end;
    std::uint64_t pages = 0;  // in the file
    FileStep failed_step = FileStep::open;
    std::string file_reason;      // the system's reason (UTF-8) when file_failed
    std::string failed_link;      // fetch_failed: the address
    std::string fetch_reason;     // fetch_failed: why, in a few GBK words
    bool network_failed = false;  // fetch_failed: retries ran out on a failure that may heal
    JournalProblem journal_problem = JournalProblem::none;  // journal_refused
    RangeRequest journal_range;  // journal_refused: the range the journal continues
    // The run went as far as was asked: to the end, or to the newest chapter.
    [[nodiscard]] bool went_all_the_way() const {
        return end == RangeEnd::reached_end || end == RangeEnd::newest_chapter;
    }
    // The journal is left beside the file: the run can be continued.
    [[nodiscard]] bool can_continue() const {
        return end == RangeEnd::stopped || end == RangeEnd::fetch_failed ||
               (end == RangeEnd::file_failed && pages > 0 && failed_step != FileStep::journal);
    }
};

// A fresh run. The file is left as it was until the first page is here;
// then it is emptied, an earlier run's journal dropped, and every page
// appended behind the one before.
[[nodiscard]] RangeResult download_range(const RangeRequest& request, PageSource& pages,
                                         const DownloadOptions& options, const DownloadHooks& hooks,
                                         std::stop_token stop);

// Continues the unfinished run whose journal lies beside the output file:
// the file is cut back to the last whole page the journal counts, and the
// run goes on from there as if it had never stopped. The journal is checked
// first and refused, the file untouched, when its next address is not the
// site's, when the file's first pages are not those the journal counted, or
// when `expected` names another range than the journal's.
[[nodiscard]] RangeResult continue_range(PageSource& pages, const DownloadOptions& options,
                                         const DownloadHooks& hooks, std::stop_token stop,
                                         const std::optional<RangeRequest>& expected = {});

}  // namespace novel
