#pragma once
// What the tool prints, in the encoding asked for, and its progress display.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "download/range_download.h"
#include "download/range_progress.h"
#include "platform/gbk.h"

namespace novel::cli {

enum class Encoding { gbk, utf8 };

// UTF-8 on a UTF-8 locale, GBK on a GBK one, UTF-8 when the locale says neither.
[[nodiscard]] Encoding locale_encoding();

// GBK from the program's own texts (UTF-8 ones: gbk_from_utf8).
[[nodiscard]] std::string gbk_of(std::u16string_view text);

// A GBK text in the encoding asked for.
[[nodiscard]] std::string encoded(std::string_view gbk, Encoding encoding);
// A GBK text as it reads on a terminal: CR LF becomes a line feed.
[[nodiscard]] std::string printable(std::string_view gbk, Encoding encoding);

// One line on standard error: "novel: " and the message (GBK).
void report_error(std::string_view gbk_message, Encoding encoding);

// The download's progress on standard error: one line redrawn in place on a
// terminal, one plain line per page otherwise, or nothing when quiet.
class ProgressDisplay {
public:
    // With a span, the line also tells the chapter reached in it and the time left.
    ProgressDisplay(Encoding encoding, bool quiet, std::optional<ChapterSpan> span = {});
    void show(const DownloadProgress& progress);
    // Ends the redrawn line so that what follows starts on a line of its own.
    void finish();

private:
    Encoding encoding_;
    bool quiet_;
    bool terminal_;
    bool drawn_ = false;
    std::uint64_t pages_shown_ = 0;
    int retry_shown_ = 0;
    bool baseline_ = false;
    std::uint64_t pages_at_start_ = 0;
    std::int64_t started_ms_;
    std::optional<RangeProgressMeter> meter_;
};

}  // namespace novel::cli
