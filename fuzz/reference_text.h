#pragma once
// Plain, slow versions of the GBK text operations, written straight from
// their descriptions, for the fuzz targets to hold the real ones against.
// Positions are 1-based, -1 is "absent", as in text/text_operations.h.

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novel::reference {

// Whether each offset (the end included) starts a character, walking from
// the front: a lead byte 0x81-0xFE and a trail byte 0x40-0x7E or 0x80-0xFE
// make one character, every other byte is one.
inline std::vector<bool> character_starts(std::string_view text) {
    std::vector<bool> starts(text.size() + 1, false);
    std::size_t i = 0;
    while (i < text.size()) {
        starts[i] = true;
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool pair =
            lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
        i += pair ? 2 : 1;
    }
    starts[text.size()] = true;
    return starts;
}

inline char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool occurs_at(std::string_view text, std::string_view needle, std::size_t offset,
                      bool ignore_case) {
    if (offset + needle.size() > text.size()) return false;
    for (std::size_t i = 0; i < needle.size(); ++i) {
        const char a = text[offset + i];
        const char b = needle[i];
        if (ignore_case ? fold(a) != fold(b) : a != b) return false;
    }
    return true;
}

// 0-based offsets of every occurrence that starts a character, overlaps included.
inline std::vector<std::size_t> occurrences(std::string_view text, std::string_view needle,
                                            bool ignore_case) {
    std::vector<std::size_t> found;
    if (needle.empty()) return found;
    const std::vector<bool> starts = character_starts(text);
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (starts[i] && occurs_at(text, needle, i, ignore_case)) found.push_back(i);
    }
    return found;
}

inline std::size_t first_offset(int start) {
    return start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
}

inline int find_text(std::string_view text, std::string_view needle, int start, bool ignore_case) {
    for (const std::size_t offset : occurrences(text, needle, ignore_case)) {
        if (offset >= first_offset(start)) return static_cast<int>(offset) + 1;
    }
    return -1;
}

inline int find_text_last(std::string_view text, std::string_view needle, std::optional<int> start,
                          bool ignore_case) {
    int last = -1;
    for (const std::size_t offset : occurrences(text, needle, ignore_case)) {
        if (static_cast<long long>(offset) + 1 <= start.value_or(INT_MAX)) {
            last = static_cast<int>(offset) + 1;
        }
    }
    return last;
}

// Left to right from start, never overlapping, at most count times.
inline std::string replace_text(std::string_view text, std::string_view find,
                                std::string_view replacement, int start, std::optional<int> count,
                                bool case_sensitive) {
    long long left = count.value_or(INT_MAX);
    std::string result;
    std::size_t copied = 0;
    for (const std::size_t offset : occurrences(text, find, !case_sensitive)) {
        if (left <= 0) break;
        if (offset < first_offset(start) || offset < copied) continue;
        result.append(text.substr(copied, offset - copied)).append(replacement);
        copied = offset + find.size();
        --left;
    }
    return result.append(text.substr(copied));
}

inline std::string mid_text(std::string_view text, int start, int n) {
    const std::size_t offset = first_offset(start);
    if (offset >= text.size() || n <= 0) return {};
    return std::string(text.substr(offset, static_cast<std::size_t>(n)));
}

inline std::string left_text(std::string_view text, int n) {
    return n <= 0 ? std::string() : std::string(text.substr(0, static_cast<std::size_t>(n)));
}

inline std::string right_text(std::string_view text, int n) {
    if (n <= 0) return {};
    const std::size_t size = std::min(text.size(), static_cast<std::size_t>(n));
    return std::string(text.substr(text.size() - size));
}

inline std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    std::size_t piece_start = 0;
    for (const std::size_t offset : occurrences(text, separator, false)) {
        if (offset < piece_start) continue;
        pieces.emplace_back(text.substr(piece_start, offset - piece_start));
        piece_start = offset + separator.size();
    }
    pieces.emplace_back(text.substr(piece_start));
    return pieces;
}

inline bool is_space(char c) { return c == ' ' || c == '\t'; }

inline std::string trim_text(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return std::string(text);
}

inline std::string remove_spaces(std::string_view text) {
    std::string result;
    for (const char c : text) {
        if (!is_space(c)) result += c;
    }
    return result;
}

}  // namespace novel::reference
