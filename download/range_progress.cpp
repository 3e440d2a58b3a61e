#include "download/range_progress.h"

#include <algorithm>

#include "chapter/site.h"

namespace novel {
namespace {

// Up to 18 digits, so the number fits.
std::optional<std::uint64_t> leading_number(std::string_view text, bool whole) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 18 || (whole && digits != text.size())) return std::nullopt;
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        number = number * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return number;
}

}  // namespace

std::optional<ChapterSpan> plain_chapter_span(std::string_view start, std::string_view end) {
    const std::optional<std::uint64_t> first = leading_number(start, /*whole=*/true);
    const std::optional<std::uint64_t> last = leading_number(end, /*whole=*/true);
    if (!first || !last || *first > *last) return std::nullopt;
    return ChapterSpan{.first = *first, .last = *last};
}

std::optional<std::uint64_t> chapter_number_of(std::string_view link) {
    const ChapterIndex index = chapter_index_of(link);
    return leading_number(index.chapter_number, /*whole=*/false);
}

RangeReading RangeProgressMeter::reading(std::chrono::milliseconds now, std::uint64_t chapter) {
    RangeReading reading;
    reading.total = span_.last - span_.first + 1;
    const std::uint64_t clamped = std::clamp(chapter, span_.first, span_.last);
    reading.done = clamped - span_.first;
    reading.percent = static_cast<int>(reading.done * 100 / reading.total);

    samples_.emplace_back(now, reading.done);
    // The oldest sample kept is the last one at least a window old, so the
    // rate spans the whole window once the run is that long.
    while (samples_.size() > 2 && now - samples_[1].first >= rate_window_) samples_.pop_front();
    const auto& [then, done_then] = samples_.front();
    const auto span_ms = (now - then).count();
    if (span_ms > 0 && reading.done > done_then) {
        const double per_ms =
            static_cast<double>(reading.done - done_then) / static_cast<double>(span_ms);
        const double left_ms = static_cast<double>(reading.total - reading.done) / per_ms;
        reading.seconds_left = static_cast<std::int64_t>((left_ms + 999.0) / 1000.0);
    }
    return reading;
}

}  // namespace novel
