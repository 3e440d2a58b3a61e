#pragma once
// How far a run has come within its range of chapters, for a bar that fills
// up: the chapter being fetched against the range's first and last, and the
// time left from the rate of the last half minute.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <utility>

namespace novel {

struct ChapterSpan {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

// Start and end both plain chapter numbers (digits only) with start <= end;
// otherwise how far the run is cannot be told.
[[nodiscard]] std::optional<ChapterSpan> plain_chapter_span(std::string_view start,
                                                            std::string_view end);

// The chapter number an address stands for: the digits its chapter part
// begins with ("12_2.html", the chapter's second page, is still 12).
[[nodiscard]] std::optional<std::uint64_t> chapter_number_of(std::string_view link);

struct RangeReading {
    std::uint64_t done = 0;                    // chapters before the one being fetched
    std::uint64_t total = 0;                   // chapters in the range
    int percent = 0;                           // 0..100, rounded down
    std::optional<std::int64_t> seconds_left;  // once a rate is known
};

class RangeProgressMeter {
public:
    explicit RangeProgressMeter(ChapterSpan span,
                                std::chrono::milliseconds rate_window = std::chrono::seconds(30))
        : span_(span), rate_window_(rate_window) {}

    // The run is fetching `chapter` at `now` (any steady clock's reading).
    // A chapter outside the range counts as its nearer end.
    [[nodiscard]] RangeReading reading(std::chrono::milliseconds now, std::uint64_t chapter);

private:
    ChapterSpan span_;
    std::chrono::milliseconds rate_window_;
    std::deque<std::pair<std::chrono::milliseconds, std::uint64_t>> samples_;  // (time, done)
};

}  // namespace novel
