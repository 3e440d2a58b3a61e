#pragma once
// The shared text operations. Texts are GBK byte strings; positions are
// 1-based byte positions and -1 means "absent".
//
// A match never begins on the second byte of a double-byte GBK character
// (a lead byte 0x81-0xFE followed by a trail byte 0x40-0x7E or 0x80-0xFE),
// so a marker such as "br" can never cut a Chinese character in half.
// That is the rule of the byte: a lead byte always takes the byte after it
// when that byte can be a trail, whether or not the code page gives the pair
// a character. The converter in platform/gbk.h decides by the code page
// instead (an unmapped pair's trail byte is read as a character of its own),
// because the regex engine's positions must be those of the real decoding.
// The two differ only on the pairs the code page leaves unmapped.
// Case-blind matching folds ASCII letters only.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novel {

inline constexpr int kNotFound = -1;

// "#引号" in GBK: lets a marker or pattern that must hold a double quote be
// written without one.
inline constexpr std::string_view kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";

[[nodiscard]] int text_length(std::string_view text);

// First occurrence of needle beginning at or after start (below 1 counts as 1).
// An empty needle finds nothing.
[[nodiscard]] int find_text(std::string_view text, std::string_view needle, int start = 1,
                            bool ignore_case = false);

// Last occurrence of needle beginning at or before start (omitted: the end).
[[nodiscard]] int find_text_last(std::string_view text, std::string_view needle,
                                 std::optional<int> start = std::nullopt, bool ignore_case = false);

// Replaces occurrences left to right, without overlap and without rescanning
// inserted text, beginning at or after start; at most count replacements
// (omitted: no limit; zero or less: none). An empty find leaves the text as it is.
[[nodiscard]] std::string replace_text(std::string_view text, std::string_view find,
                                       std::string_view replacement, int start = 1,
                                       std::optional<int> count = std::nullopt,
                                       bool case_sensitive = true);

// As replace_text, but leaves *result alone and returns false when nothing
// is replaced, so that a batch of replacements copies only what changes.
bool replace_text_into(std::string_view text, std::string_view find, std::string_view replacement,
                       int start, std::optional<int> count, bool case_sensitive,
                       std::string* result);

[[nodiscard]] std::string left_text(std::string_view text, int n);
[[nodiscard]] std::string right_text(std::string_view text, int n);
// n bytes beginning at start (below 1 counts as 1); fewer when the text ends first.
[[nodiscard]] std::string mid_text(std::string_view text, int start, int n);

// The pieces between successive separators, matched exactly. A text without
// the separator, the empty text included, is one piece; empty pieces are kept
// (a trailing separator gives a trailing empty piece).
[[nodiscard]] std::vector<std::string> split_text(std::string_view text,
                                                  std::string_view separator);

// Equal when ASCII letters are folded, as header names and month names compare.
[[nodiscard]] bool equals_ignoring_case(std::string_view a, std::string_view b);

// Spaces here are ASCII space and tab.
[[nodiscard]] std::string trim_text(std::string_view text);
[[nodiscard]] std::string remove_spaces(std::string_view text);

}  // namespace novel
