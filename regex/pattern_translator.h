#pragma once
// Turns a pattern written in the script regular-expression syntax the program
// was built around into an equivalent PCRE2 pattern, so that PCRE2 never sees
// its own extensions and the script rules hold where the two differ.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace novel {

// Groups nest at most this deep in an accepted pattern.
inline constexpr int kMaxPatternNesting = 200;
// Parentheses nest at most this deep in a translation: each group may gain
// one around it, and the innermost term one more (a back-reference or a
// multiline anchor spelt as a lookaround). PCRE2's own limit must allow it.
inline constexpr std::uint32_t kMaxTranslatedNesting = 2 * kMaxPatternNesting + 1;

struct TranslatedPattern {
    std::u16string pcre2_pattern;
    int group_count = 0;
};

// std::nullopt for a pattern the script syntax rejects, and for PCRE-only
// syntax: lookbehind, named groups, inline flags, atomic groups, possessive
// quantifiers, and the escapes \A \C \E \G \H \K \N \P \Q \R \V \X \Z \g \h
// \k \o \p \z. Also rejected: nesting deeper than 200 groups, and counted
// repeats above 65535 (PCRE2's own limit).
//
// The result is meant for pcre2_compile in 16-bit mode without UTF or UCP
// and with PCRE2_DOLLAR_ENDONLY; multiline start and end of line are spelt
// out as lookarounds, so PCRE2_MULTILINE must stay off.
[[nodiscard]] std::optional<TranslatedPattern> translate_pattern(std::u16string_view pattern,
                                                                 bool multiline);

}  // namespace novel
