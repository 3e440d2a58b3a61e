#include "text/text_cutting.h"

#include "text/text_operations.h"

namespace novel {
namespace {
std::string with_quotes(std::string_view marker) {
    return replace_text(marker, kQuotePlaceholder, "\"");
}
}  // namespace

std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         int start, bool ignore_case) {
    const std::string left_marker = with_quotes(left);
    const std::string right_marker = with_quotes(right);
    int p = find_text(text, left_marker, start, ignore_case);
    if (p == kNotFound) return {};
    p += text_length(left_marker);
    const int q = find_text(text, right_marker, p, ignore_case);
    if (q == kNotFound) return {};
    return mid_text(text, p, q - p);
}

std::string text_after_last(std::string_view text, std::string_view marker,
                            std::optional<int> start, bool ignore_case) {
    const int last_start = start.value_or(text_length(text) + 1);
    const int p = find_text_last(text, marker, last_start, ignore_case);
    if (p == kNotFound) return {};
    return right_text(text, text_length(text) - text_length(marker) - p + 1);
}

std::string text_before_first(std::string_view text, std::string_view marker, int start,
                              bool ignore_case) {
    const int p = find_text(text, marker, start <= 0 ? 1 : start, ignore_case);
    if (p == kNotFound) return {};
    return left_text(text, p - 1);
}

std::string replace_pairs(std::string_view text, std::initializer_list<ReplacementPair> pairs,
                          const ReplacePairsOptions& options) {
    const int start = options.start == 0 ? 1 : options.start;
    std::string result(text);
    std::string replaced;
    for (const ReplacementPair& pair : pairs) {
        if (replace_text_into(result, pair.find, pair.replacement, start, options.count,
                              options.case_sensitive, &replaced)) {
            result.swap(replaced);
        }
    }
    return result;
}

}  // namespace novel
