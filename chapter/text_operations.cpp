#include "chapter/text_operations.h"

#include <algorithm>
#include <iterator>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace novel {
namespace {

bool is_lead_byte(unsigned char byte) { return static_cast<unsigned char>(byte - 0x81) <= 0x7D; }
bool is_trail_byte(unsigned char byte) {
    return static_cast<unsigned char>(byte - 0x40) <= 0xBE && byte != 0x7F;
}

// Tells whether an offset of a GBK text starts a character. A byte below
// 0x40 is neither a lead nor a trail byte, so the offset behind it always
// starts a character: the walk restarts from there instead of from the front
// of the text. Offsets asked about only grow, which keeps the work linear.
class CharacterBoundaries {
public:
    explicit CharacterBoundaries(std::string_view text)
        : bytes_(reinterpret_cast<const unsigned char*>(text.data())), size_(text.size()) {}

    // True when offset starts a character; otherwise the next boundary is
    // stored in *next.
    bool starts_character(std::size_t offset, std::size_t* next) {
        if (offset < known_) known_ = 0;  // only reached if a caller goes backwards
        std::size_t position = offset;
        while (position > known_ && bytes_[position - 1] >= 0x40) --position;
        // Branch-free step: this loop runs over long runs of Chinese text.
        while (position < offset && position + 1 < size_) {
            position += 1 + static_cast<std::size_t>(is_lead_byte(bytes_[position]) &
                                                     is_trail_byte(bytes_[position + 1]));
        }
        if (position < offset) position = offset;  // a last byte stands alone
        known_ = position;
        *next = position;
        return position == offset;
    }

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t known_ = 0;  // a known character start
};

char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Folds eight bytes at a time: case-blind searches fold every byte they see.
std::string folded_copy(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::string folded(text);
    std::size_t index = 0;
    for (; index + 8 <= folded.size(); index += 8) {
        std::uint64_t word;
        std::memcpy(&word, folded.data() + index, 8);
        const std::uint64_t low_seven = word & ~kHighBits;
        const std::uint64_t at_least_a = low_seven + (0x80 - 'A') * kOnes;
        const std::uint64_t above_z = low_seven + (0x7F - 'Z') * kOnes;
        const std::uint64_t upper = (at_least_a ^ above_z) & ~word & kHighBits;
        word |= upper >> 2;  // 0x80 >> 2 is the case bit 0x20
        std::memcpy(folded.data() + index, &word, 8);
    }
    for (; index < folded.size(); ++index) folded[index] = fold_ascii(folded[index]);
    return folded;
}

// Finds needle occurrences that begin on character boundaries, in order.
// Folding ASCII letters maps trail bytes to trail bytes and never creates a
// lead byte, so boundaries found on the folded text hold for the original.
class OccurrenceScanner {
public:
    OccurrenceScanner(std::string_view text, std::string_view needle, bool ignore_case)
        : folded_text_(ignore_case ? folded_copy(text) : std::string()),
          folded_needle_(ignore_case ? folded_copy(needle) : std::string()),
          haystack_(ignore_case ? std::string_view(folded_text_) : text),
          needle_(ignore_case ? std::string_view(folded_needle_) : needle),
          boundaries_(haystack_),
          // no trail byte is below 0x40, so such a needle always starts a character
          needle_starts_character_(!needle_.empty() &&
                                   static_cast<unsigned char>(needle_.front()) < 0x40) {}

    // The first occurrence at or after offset, or npos.
    std::size_t next(std::size_t offset) {
        if (needle_.empty()) return std::string_view::npos;
        while (offset <= haystack_.size()) {
            const std::size_t candidate = haystack_.find(needle_, offset);
            if (candidate == std::string_view::npos || needle_starts_character_) return candidate;
            std::size_t next_boundary = 0;
            if (boundaries_.starts_character(candidate, &next_boundary)) return candidate;
            offset = next_boundary;  // the candidate began inside a character
        }
        return std::string_view::npos;
    }

private:
    std::string folded_text_;
    std::string folded_needle_;
    std::string_view haystack_;
    std::string_view needle_;
    CharacterBoundaries boundaries_;
    bool needle_starts_character_;
};

int to_position(std::size_t offset) { return static_cast<int>(offset) + 1; }

std::size_t clamp_count(int n, std::size_t size) {
    if (n <= 0) return 0;
    return std::min(static_cast<std::size_t>(n), size);
}

}  // namespace

int text_length(std::string_view text) { return static_cast<int>(text.size()); }

int find_text(std::string_view text, std::string_view needle, int start, bool ignore_case) {
    const std::size_t offset = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (offset >= text.size()) return kNotFound;
    OccurrenceScanner scanner(text, needle, ignore_case);
    const std::size_t found = scanner.next(offset);
    return found == std::string_view::npos ? kNotFound : to_position(found);
}

int find_text_last(std::string_view text, std::string_view needle, std::optional<int> start,
                   bool ignore_case) {
    const long long last_allowed = start.value_or(std::numeric_limits<int>::max());
    if (last_allowed < 1) return kNotFound;
    OccurrenceScanner scanner(text, needle, ignore_case);
    int last = kNotFound;
    for (std::size_t found = scanner.next(0); found != std::string_view::npos;
         found = scanner.next(found + 1)) {
        if (to_position(found) > last_allowed) break;
        last = to_position(found);
    }
    return last;
}

std::string replace_text(std::string_view text, std::string_view find,
                         std::string_view replacement, int start, std::optional<int> count,
                         bool case_sensitive) {
    const std::size_t first = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    long long remaining = count ? *count : std::numeric_limits<long long>::max();
    if (find.empty() || first >= text.size() || remaining <= 0) return std::string(text);

    OccurrenceScanner scanner(text, find, !case_sensitive);
    std::string result;
    result.reserve(text.size());
    std::size_t copied_up_to = 0;
    for (std::size_t found = scanner.next(first); found != std::string_view::npos && remaining > 0;
         found = scanner.next(copied_up_to), --remaining) {
        result.append(text.substr(copied_up_to, found - copied_up_to));
        result.append(replacement);
        copied_up_to = found + find.size();
    }
    result.append(text.substr(copied_up_to));
    return result;
}

std::string left_text(std::string_view text, int n) {
    return std::string(text.substr(0, clamp_count(n, text.size())));
}

std::string right_text(std::string_view text, int n) {
    const std::size_t size = clamp_count(n, text.size());
    return std::string(text.substr(text.size() - size));
}

std::string mid_text(std::string_view text, int start, int n) {
    const std::size_t offset = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (offset >= text.size()) return {};
    return std::string(text.substr(offset, clamp_count(n, text.size() - offset)));
}

std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    OccurrenceScanner scanner(text, separator, false);
    std::size_t piece_start = 0;
    for (std::size_t found = scanner.next(0); found != std::string_view::npos;
         found = scanner.next(piece_start)) {
        pieces.emplace_back(text.substr(piece_start, found - piece_start));
        piece_start = found + separator.size();
    }
    pieces.emplace_back(text.substr(piece_start));
    return pieces;
}

namespace {
bool is_space(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string trim_text(std::string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), is_space);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), is_space).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string remove_spaces(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(result),
                 [](char c) { return !is_space(c); });
    return result;
}

}  // namespace novel
