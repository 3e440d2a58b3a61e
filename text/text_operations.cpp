#include "text/text_operations.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

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
            position += 1 + (static_cast<std::size_t>(is_lead_byte(bytes_[position])) &
                             static_cast<std::size_t>(is_trail_byte(bytes_[position + 1])));
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

constexpr std::size_t kNone = std::string_view::npos;

// The offset of byte at or after offset, or kNone.
std::size_t find_byte(std::string_view text, char byte, std::size_t offset) {
    if (offset >= text.size()) return kNone;
    const void* found = std::memchr(text.data() + offset, byte, text.size() - offset);
    return found == nullptr
               ? kNone
               : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
}

// Finds where a needle's bytes occur, ignoring character boundaries. A
// case-blind search looks for both cases of the first byte with memchr and
// folds only the bytes it compares, so the text is never copied.
class CandidateFinder {
public:
    CandidateFinder(std::string_view text, std::string_view needle, bool ignore_case)
        : text_(text), needle_(needle), ignore_case_(ignore_case) {
        if (!ignore_case_ || needle_.empty()) return;
        folded_needle_.resize(needle_.size());
        std::transform(needle_.begin(), needle_.end(), folded_needle_.begin(), fold_ascii);
        lower_first_ = folded_needle_.front();
        upper_first_ = (lower_first_ >= 'a' && lower_first_ <= 'z')
                           ? static_cast<char>(lower_first_ - ('a' - 'A'))
                           : lower_first_;
    }

    std::size_t next(std::size_t offset) {
        if (!ignore_case_) return text_.find(needle_, offset);
        while (true) {
            const std::size_t candidate = next_first_byte(offset);
            if (candidate == kNone || candidate + needle_.size() > text_.size()) return kNone;
            if (rest_matches(candidate)) return candidate;
            offset = candidate + 1;
        }
    }

private:
    // Both cases' next positions are kept, so each memchr result serves
    // until the search passes it.
    std::size_t next_first_byte(std::size_t offset) {
        if (lower_at_ == kUnknown || (lower_at_ != kNone && lower_at_ < offset)) {
            lower_at_ = find_byte(text_, lower_first_, offset);
        }
        if (upper_first_ == lower_first_) return lower_at_;
        if (upper_at_ == kUnknown || (upper_at_ != kNone && upper_at_ < offset)) {
            upper_at_ = find_byte(text_, upper_first_, offset);
        }
        return std::min(lower_at_, upper_at_);
    }

    bool rest_matches(std::size_t candidate) const {
        for (std::size_t index = 1; index < folded_needle_.size(); ++index) {
            if (fold_ascii(text_[candidate + index]) != folded_needle_[index]) return false;
        }
        return true;
    }

    static constexpr std::size_t kUnknown = kNone - 1;

    std::string_view text_;
    std::string_view needle_;
    bool ignore_case_;
    std::string folded_needle_;
    char lower_first_ = 0;
    char upper_first_ = 0;
    std::size_t lower_at_ = kUnknown;
    std::size_t upper_at_ = kUnknown;
};

// Finds needle occurrences that begin on character boundaries, in order.
class OccurrenceScanner {
public:
    OccurrenceScanner(std::string_view text, std::string_view needle, bool ignore_case)
        : candidates_(text, needle, ignore_case),
          size_(text.size()),
          empty_needle_(needle.empty()),
          boundaries_(text),
          // no trail byte is below 0x40, so such a needle always starts a character
          needle_starts_character_(!needle.empty() &&
                                   static_cast<unsigned char>(needle.front()) < 0x40) {}

    // The first occurrence at or after offset, or npos.
    std::size_t next(std::size_t offset) {
        if (empty_needle_) return kNone;
        while (offset <= size_) {
            const std::size_t candidate = candidates_.next(offset);
            if (candidate == kNone || needle_starts_character_) return candidate;
            std::size_t next_boundary = 0;
            if (boundaries_.starts_character(candidate, &next_boundary)) return candidate;
            offset = next_boundary;  // the candidate began inside a character
        }
        return kNone;
    }

private:
    CandidateFinder candidates_;
    std::size_t size_;
    bool empty_needle_;
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
    // A needle that begins below 0x40 always starts a character, so an exact
    // search can go backwards instead of through every earlier occurrence.
    if (!ignore_case && !needle.empty() && static_cast<unsigned char>(needle.front()) < 0x40) {
        if (needle.size() > text.size()) return kNotFound;
        std::size_t candidates = static_cast<std::size_t>(std::min<long long>(
            last_allowed, static_cast<long long>(text.size() - needle.size() + 1)));
        while (candidates > 0) {
            const void* found = memrchr(text.data(), needle.front(), candidates);
            if (found == nullptr) return kNotFound;
            const auto offset =
                static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
            if (text.compare(offset, needle.size(), needle) == 0) return to_position(offset);
            candidates = offset;
        }
        return kNotFound;
    }
    OccurrenceScanner scanner(text, needle, ignore_case);
    int last = kNotFound;
    for (std::size_t found = scanner.next(0); found != std::string_view::npos;
         found = scanner.next(found + 1)) {
        if (to_position(found) > last_allowed) break;
        last = to_position(found);
    }
    return last;
}

bool replace_text_into(std::string_view text, std::string_view find, std::string_view replacement,
                       int start, std::optional<int> count, bool case_sensitive,
                       std::string* result) {
    const std::size_t first = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    long long remaining = count ? *count : std::numeric_limits<long long>::max();
    if (find.empty() || first >= text.size() || remaining <= 0) return false;

    OccurrenceScanner scanner(text, find, !case_sensitive);
    std::size_t found = scanner.next(first);
    if (found == kNone) return false;

    std::string replaced;
    replaced.reserve(text.size());
    std::size_t copied_up_to = 0;
    for (; found != kNone && remaining > 0; found = scanner.next(copied_up_to), --remaining) {
        replaced.append(text.substr(copied_up_to, found - copied_up_to));
        replaced.append(replacement);
        copied_up_to = found + find.size();
    }
    replaced.append(text.substr(copied_up_to));
    *result = std::move(replaced);
    return true;
}

std::string replace_text(std::string_view text, std::string_view find, std::string_view replacement,
                         int start, std::optional<int> count, bool case_sensitive) {
    std::string result;
    if (!replace_text_into(text, find, replacement, start, count, case_sensitive, &result)) {
        result.assign(text);
    }
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

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return fold_ascii(x) == fold_ascii(y); });
}

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
