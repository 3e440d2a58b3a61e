#include "cli/terminal.h"

#include <langinfo.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <string>

#include "download/progress_figures.h"
#include "platform/gbk.h"

namespace novel::cli {
namespace {

std::int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

void write_err(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

std::string gbk_of(std::u16string_view text) { return utf16_to_gbk(text); }

Encoding locale_encoding() {
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset == "GBK" || codeset == "GB2312" || codeset == "GB18030" || codeset == "CP936") {
        return Encoding::gbk;
    }
    return Encoding::utf8;
}

std::string encoded(std::string_view gbk_text, Encoding encoding) {
    if (encoding == Encoding::gbk) return std::string(gbk_text);
    return utf8_from_gbk(gbk_text);
}

std::string printable(std::string_view gbk_text, Encoding encoding) {
    std::string text = encoded(gbk_text, encoding);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
        out += text[at];
    }
    return out;
}

void report_error(std::string_view gbk_message, Encoding encoding) {
    std::string line = "novel: " + printable(gbk_message, encoding);
    // One line: the message's own line breaks become separators.
    for (char& c : line) {
        if (c == '\n') c = ' ';
    }
    write_err(line + "\n");
}

ProgressDisplay::ProgressDisplay(Encoding encoding, bool quiet, std::optional<ChapterSpan> span)
    : encoding_(encoding),
      quiet_(quiet),
      terminal_(isatty(STDERR_FILENO) == 1),
      started_ms_(now_ms()) {
    if (span) meter_.emplace(*span);
}

void ProgressDisplay::show(const DownloadProgress& progress) {
    if (quiet_) return;
    const double seconds = static_cast<double>(now_ms() - started_ms_) / 1000.0;
    if (!baseline_) {
        // A continued run starts with the pages of before: nothing new yet.
        baseline_ = true;
        pages_at_start_ = progress.pages;
        pages_shown_ = progress.pages;
    }
    if (!terminal_) {
        // A log: one line per page and per wait, nothing redrawn.
        const int retry = progress.waiting ? progress.waiting->retry : 0;
        if (progress.pages == pages_shown_ && retry == retry_shown_) return;
        pages_shown_ = progress.pages;
        retry_shown_ = retry;
        std::string line;
        if (progress.waiting) {
            line = gbk(u"第") + std::to_string(progress.waiting->retry) + gbk(u"次重试，") +
                   std::to_string(seconds_left(progress.waiting->left)) + gbk(u"秒后开始：") +
                   progress.waiting->reason;
        } else {
            line = gbk(u"第") + std::to_string(progress.pages) + gbk(u"页 ") + progress.last_title +
                   " (" + size_text(progress.file_bytes) + ")";
        }
        write_err(encoded(line, encoding_) + "\n");
        return;
    }
    char rate[32];
    std::snprintf(
        rate, sizeof rate, "%.1f",
        seconds > 0 ? static_cast<double>(progress.pages - pages_at_start_) / seconds : 0.0);
    const std::string dot = gbk(u" · ");
    std::string line = gbk(u"已写入 ") + std::to_string(progress.pages) + gbk(u" 页") + dot +
                       size_text(progress.file_bytes) + dot + rate + gbk(u" 页/秒") + dot +
                       gbk(u"用时 ") + clock_text(static_cast<std::int64_t>(seconds)) + dot;
    if (meter_) {
        if (const std::optional<std::uint64_t> chapter = chapter_number_of(progress.fetching)) {
            const RangeReading reading =
                meter_->reading(std::chrono::milliseconds(now_ms() - started_ms_), *chapter);
            line += gbk(u"第 ") + std::to_string(reading.done) + "/" +
                    std::to_string(reading.total) + gbk(u" 章 ") + std::to_string(reading.percent) +
                    "%";
            if (reading.seconds_left) {
                line += gbk(u"，剩余约 ") + clock_text(*reading.seconds_left);
            }
            line += dot;
        }
    }
    if (progress.waiting) {
        line += gbk(u"第") + std::to_string(progress.waiting->retry) + gbk(u"次重试，") +
                std::to_string(seconds_left(progress.waiting->left)) + gbk(u"秒后开始：") +
                progress.waiting->reason;
    } else {
        line += progress.last_title;
    }
    // Back to the start of the line and clear it, then the new figures.
    write_err("\r\x1b[K" + encoded(line, encoding_));
    drawn_ = true;
}

void ProgressDisplay::finish() {
    if (drawn_) write_err("\n");
    drawn_ = false;
}

}  // namespace novel::cli
