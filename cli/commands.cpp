#include "cli/commands.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "chapter/chapter_fetch.h"
#include "cli/exit_status.h"
#include "download/download_messages.h"
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
    ProgressDisplay display(options.print_encoding, options.quiet);
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

    const int status = exit_status(result);
    if (result.end == RangeEnd::journal_refused) {
        std::string message = final_message(result, options.output, false);
        message.resize(message.find("\r\n"));
        report_error(message + gbk(u"（文件未作改动；不带 --continue 可重新下载）"),
                     options.print_encoding);
        return status;
    }
    if (result.end == RangeEnd::no_journal) {
        report_error(gbk(u"没有可以继续的下载：") + gbk_from_utf8(options.output),
                     options.print_encoding);
        return status;
    }
    if (status == kReachedEnd) {
        if (!options.quiet) {
            report_error(gbk(u"下载完毕：") + std::to_string(result.pages) + gbk(u"页，已写入 ") +
                             gbk_from_utf8(options.output),
                         options.print_encoding);
        }
        return status;
    }
    // The window's final box, minus its "look in the same folder" first line.
    std::string message =
        final_message(result, options.output, read_journal(options.output).has_value());
    const std::string done = gbk(u"下载完毕，请到同目录查看") + "\r\n";
    if (message.starts_with(done)) message.erase(0, done.size());
    const std::size_t continue_hint = message.find("\r\n" + gbk(u"打开下载窗口"));
    if (continue_hint != std::string::npos) {
        message.resize(continue_hint);
        message += gbk(u"（可用 --continue 接着下载）");
    }
    report_error(message, options.print_encoding);
    return status;
}

}  // namespace novel::cli
