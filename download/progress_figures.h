#pragma once
// How a run's figures are told, the same way in the window and the
// terminal: the numbers and units only, never the words around them.

#include <chrono>
#include <cstdint>
#include <string>

namespace novel {

// Whole seconds of a wait still to come, rounded up: a wait with 200 ms
// left says 1, never 0, until it is over.
[[nodiscard]] inline std::int64_t seconds_left(std::chrono::milliseconds left) {
    if (left.count() <= 0) return 0;
    return (left.count() + 999) / 1000;
}

// A size in bytes as people read it: "512 B", "3.4 KB", "12.0 MB" (units of 1024).
[[nodiscard]] inline std::string size_text(std::uint64_t bytes) {
    constexpr double kKilo = 1024.0;
    if (bytes < 1024) return std::to_string(bytes) + " B";
    const double value = static_cast<double>(bytes);
    const bool mega = bytes >= 1024 * 1024;
    const double shown = mega ? value / (kKilo * kKilo) : value / kKilo;
    // One decimal, rounded half up, without the locale's separators.
    const auto tenths = static_cast<std::uint64_t>(shown * 10 + 0.5);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (mega ? " MB" : " KB");
}

// A duration as a clock shows it: "07:05" (minutes past 99 as they come).
[[nodiscard]] inline std::string clock_text(std::int64_t seconds) {
    const auto two = [](std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (seconds < 0) seconds = 0;
    return two(seconds / 60) + ":" + two(seconds % 60);
}

}  // namespace novel
