#pragma once
// Cutting pieces out of pages, header lines and links by literal markers, and
// batches of literal replacements. Markers are plain GBK byte strings.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace novel {

// The bytes strictly between the first left marker at or after start and the
// first right marker behind it; "" when either is missing. "#引号" in either
// marker stands for a double quote.
[[nodiscard]] std::string text_between(std::string_view text, std::string_view left,
                                       std::string_view right, int start = 0,
                                       bool ignore_case = false);

// Every byte behind the last occurrence of marker (at or before start when given).
[[nodiscard]] std::string text_after_last(std::string_view text, std::string_view marker,
                                          std::optional<int> start = std::nullopt,
                                          bool ignore_case = false);

// Every byte before the first occurrence of marker found from start on.
[[nodiscard]] std::string text_before_first(std::string_view text, std::string_view marker,
                                            int start = 0, bool ignore_case = false);

struct ReplacementPair {
    std::string_view find;
    std::string_view replacement;
};

struct ReplacePairsOptions {
    std::optional<int> count;     // per pair; omitted: every occurrence
    int start = 0;                // 0 counts as 1
    bool case_sensitive = false;  // omitted: case-blind
};

// Applies the pairs in order, each to the result of the ones before it.
// A pair whose find text is empty changes nothing.
[[nodiscard]] std::string replace_pairs(std::string_view text,
                                        std::initializer_list<ReplacementPair> pairs,
                                        const ReplacePairsOptions& options = {});

}  // namespace novel
