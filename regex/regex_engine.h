#pragma once
// Our regular-expression engine over PCRE2 in 16-bit mode. Patterns follow
// the script syntax (see pattern_translator.h); subjects are UTF-16 and every
// index counts UTF-16 units, lone surrogates included.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novel {

struct EngineOptions {
    bool ignore_case = false;
    bool multiline = false;
    bool global = false;
};

// Where a match or a group lies in the subject, in UTF-16 units.
struct MatchSpan {
    static constexpr std::uint32_t kUnset = UINT32_MAX;

    std::uint32_t start = kUnset;  // kUnset: the group took no part in the match
    std::uint32_t length = 0;

    [[nodiscard]] bool is_set() const { return start != kUnset; }
    [[nodiscard]] std::uint32_t end() const { return start + length; }
};

// The matches of one execution, in order of position. Each match keeps its
// offsets only; values are cut from the subject the collection holds.
class MatchCollection {
public:
    // The subject is shared, not copied: a page is large and the caller
    // usually holds it already.
    MatchCollection(std::shared_ptr<const std::u16string> subject, std::size_t group_count,
                    std::vector<MatchSpan> spans);

    [[nodiscard]] std::size_t size() const { return spans_.size() / (group_count_ + 1); }
    [[nodiscard]] std::size_t group_count() const { return group_count_; }
    [[nodiscard]] const std::u16string& subject() const { return *subject_; }

    // Indices count from 0; group 0 is the whole match. Out of range: an unset span.
    [[nodiscard]] MatchSpan span(std::size_t match, std::size_t group = 0) const;
    // "" for a group that took no part (or out of range).
    [[nodiscard]] std::u16string_view value(std::size_t match, std::size_t group = 0) const;
    [[nodiscard]] std::uint32_t first_index(std::size_t match) const { return span(match).start; }

    // Records where each span lies in the text the subject was decoded from,
    // given the offset there of every UTF-16 unit (unit == size(): the end).
    void map_to_source(const std::function<std::size_t(std::size_t)>& source_offset);
    // The span in units of that text; the UTF-16 span until map_to_source ran.
    [[nodiscard]] MatchSpan source_span(std::size_t match, std::size_t group = 0) const;

private:
    std::shared_ptr<const std::u16string> subject_;
    std::size_t group_count_;
    std::vector<MatchSpan> spans_;  // group_count_ + 1 per match
    std::vector<MatchSpan> source_spans_;
};

class RegexEngine {
public:
    // An invalid pattern still makes an engine: it keeps its properties, but
    // execute and replace fail.
    RegexEngine(std::u16string pattern, const EngineOptions& options);
    ~RegexEngine();
    RegexEngine(RegexEngine&& other) noexcept;
    RegexEngine& operator=(RegexEngine&& other) noexcept;
    RegexEngine(const RegexEngine&) = delete;
    RegexEngine& operator=(const RegexEngine&) = delete;

    [[nodiscard]] const std::u16string& pattern() const { return pattern_; }
    [[nodiscard]] bool ignore_case() const { return options_.ignore_case; }
    [[nodiscard]] bool multiline() const { return options_.multiline; }
    [[nodiscard]] bool global() const { return options_.global; }
    [[nodiscard]] bool is_valid() const { return compiled_ != nullptr; }

    // All matches (global) or the first; std::nullopt for an invalid pattern
    // or when PCRE2 gives up (match or stack limit).
    [[nodiscard]] std::optional<MatchCollection> execute(
        std::shared_ptr<const std::u16string> subject) const;
    [[nodiscard]] std::optional<MatchCollection> execute(std::u16string_view subject) const;

    // One group of the match-th match (both from 0; group 0 is the whole
    // match), searching no further than that match: an unset span when there
    // are fewer matches or the group took no part; std::nullopt as execute.
    // *matches_seen, when given, receives how many matches were found (at
    // most match + 1).
    [[nodiscard]] std::optional<MatchSpan> nth_match_group(
        std::u16string_view subject, std::size_t match, std::size_t group,
        std::size_t* matches_seen = nullptr) const;

    // Capturing groups of the pattern; 0 for an invalid one.
    [[nodiscard]] std::size_t group_count() const;

    // The subject with each match replaced; $$ $& $` $' $n $nn are expanded.
    [[nodiscard]] std::optional<std::u16string> replace(std::u16string_view subject,
                                                        std::u16string_view replacement) const;

private:
    struct Compiled;

    // Calls on_match with each match's spans in order until it returns
    // false; false when the pattern is invalid or PCRE2 gives up.
    template <typename OnMatch>
    bool for_each_match(std::u16string_view subject, OnMatch on_match) const;

    std::u16string pattern_;
    EngineOptions options_;
    std::unique_ptr<Compiled> compiled_;
};

// Replaces every match of the collection in its subject (the collection of a
// non-global execution holds only the first match).
[[nodiscard]] std::u16string replace_matches(const MatchCollection& matches,
                                             std::u16string_view replacement);

// The same on the text the subject was decoded from (see map_to_source), with
// a replacement in that text's encoding: bytes that are no character, in the
// subject or the replacement, come through unchanged.
[[nodiscard]] std::string replace_matches_in_source(const MatchCollection& matches,
                                                    std::string_view source,
                                                    std::string_view replacement);

}  // namespace novel
