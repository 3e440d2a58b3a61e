#pragma once
// Header lines and cookie texts. A header line is "Name: value" split at its
// first colon; a cookie text is name=value pieces separated by ";" and
// joined by "; ". All comparisons are exact byte comparisons.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novel {

using TextList = std::vector<std::string>;

// The trimmed part before the first ":"; empty when the line has none.
[[nodiscard]] std::string header_name(std::string_view line);
// The trimmed part after the first ":"; empty when the line has none.
[[nodiscard]] std::string header_value(std::string_view line);

// The value of the first line of that name (any letter case) in a block of
// response header lines separated by CR LF, blanks trimmed; nullopt when
// there is none.
[[nodiscard]] std::optional<std::string> header_in(std::string_view headers, std::string_view name);

// The trimmed part before the first "="; the whole trimmed piece without one.
[[nodiscard]] std::string cookie_name(std::string_view piece);
[[nodiscard]] bool cookie_name_in_list(const TextList& list, std::string_view name);
// 1-based position of the first element equal to item; -1 when there is none.
[[nodiscard]] int index_in_list(const TextList& list, std::string_view item);

// The pieces of text, each kept at its first occurrence only, joined by separator.
[[nodiscard]] std::string remove_duplicate_parts(std::string_view text, std::string_view separator);

// Folds the cookies a response set (new_cookies) into the cookies that were
// sent: new pieces first, then old pieces whose name no new piece carries;
// pieces ending in "=deleted" dropped; exact repeats dropped. Both arguments
// are written back: cookies receives the merged text (also the result),
// new_cookies its own text with all spaces removed.
[[nodiscard]] std::string merge_cookies(std::string& cookies, std::string& new_cookies);

}  // namespace novel
