#include "cli/commands.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "chapter/chapter_fetch.h"
#include "cli/download_text.h"
#include "cli/exit_status.h"
#include "download/fetch_ahead.h"
#include "download/journal.h"
#include "http/http_request.h"
#include "platform/gbk.h"

namespace novel::cli {
namespace {

void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

int exit_status(const RangeResult& result) {
    switch (result.end) {
        case RangeEnd::reached_end:
        case RangeEnd::newest_chapter:
            return kReachedEnd;
        case RangeEnd::no_next_link:
        case RangeEnd::repeated_link:
        case RangeEnd::page_limit:
            return kChainBroke;
        case RangeEnd::stopped:
            return kInterrupted;
        case RangeEnd::fetch_failed:
            // A page that can be had but is no chapter breaks the chain; one
            // that could not be had at all is the network's failure.
            return result.network_failed ? kNetworkFailed : kChainBroke;
        case RangeEnd::file_failed:
            return kFileFailed;
        case RangeEnd::no_journal:
        case RangeEnd::journal_refused:
            return kUsage;
    }
    return kFileFailed;
}

// With --continue, a range named as well must be the journal's.
std::optional<RangeRequest> given_range(const DownloadCommandOptions& options) {
    if (options.book.empty() && options.start.empty() && options.end.empty()) return std::nullopt;
    return RangeRequest{options.book, options.start, options.end};
}

}  // namespace

int read_chapter(const ReadOptions& options, std::stop_token stop) {
    PageKeeper keeper(options.library, options.encoding);
    FetchedChapter fetched;
    const ByteData page = http_request(
        options.url,
        {.status = &fetched.status, .stop = std::move(stop), .transport_error = &fetched.error});
    fetched.chapter = extract_chapter(page);
    if (fetched.error == TransportError::stopped) return kInterrupted;
    if (!fetched.succeeded()) {
        report_error(gbk(u"无法读取 ") + options.url + gbk(u"：") +
                         describe_failure(fetched.error, fetched.status),
                     options.encoding);
        return kNetworkFailed;
    }
    if (has_chapter_content(page)) keeper.keep(options.url, fetched.chapter, page);
    const std::string link = encoded(fetched.chapter.next_link, options.encoding) + "\n";
    if (options.next_only) {
        write_out(link);
        return kReachedEnd;
    }
    std::string text = printable(fetched.chapter.text, options.encoding);
    if (!text.empty() && text.back() != '\n') text += '\n';
    write_out(text);
    std::fflush(stdout);
    std::fwrite(link.data(), 1, link.size(), stderr);
    return kReachedEnd;
}

int download_chapters(const DownloadCommandOptions& options, std::stop_token stop) {
    PageKeeper keeper(options.library, options.print_encoding);
    // The span of the range asked for, or of the run a journal continues.
    std::optional<ChapterSpan> span = plain_chapter_span(options.start, options.end);
    if (options.continue_run) {
        const std::optional<Journal> journal = read_journal(options.output);
        span =
            journal ? plain_chapter_span(journal->state.start, journal->state.end) : std::nullopt;
    }
    ProgressDisplay display(options.print_encoding, options.quiet, span);
    const DownloadHooks hooks{
        .progress = [&display](const DownloadProgress& progress) { display.show(progress); },
        .page_written =
            [&keeper](const WrittenPage& written) {
                keeper.keep(written.link, written.chapter, written.page);
            }};
    const DownloadOptions download{.output_path = options.output, .utf8 = options.utf8_file};
    FetchAhead pages(options.ahead);
    const RangeResult result =
        options.continue_run
            ? continue_range(pages, download, hooks, stop, given_range(options))
            : download_range({.book = options.book, .start = options.start, .end = options.end},
                             pages, download, hooks, stop);
    display.finish();
    keeper.finish();

    const int status = exit_status(result);
    if (status == kReachedEnd && options.quiet) return status;
    report_error(
        download_end_message(result, options.output, read_journal(options.output).has_value()),
        options.print_encoding);
    return status;
}

}  // namespace novel::cli
