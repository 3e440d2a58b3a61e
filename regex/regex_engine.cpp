#include "regex/regex_engine.h"

#include "regex/pattern_translator.h"
#include "regex/pcre2_handles.h"

namespace novel {
namespace {

using pcre2::CodePtr;
using pcre2::CompileContextPtr;
using pcre2::JitStackPtr;
using pcre2::MatchContextPtr;
using pcre2::MatchDataPtr;

// The JIT's default stack (32 KB on the machine stack) runs out on long
// subjects with nested repeats; such a search is retried with this one.
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 4 * 1024 * 1024;

// A hostile pattern must not hang the program. PCRE2 counts these per start
// position; a search that hits one fails as a whole. The heap limit matters
// only without the JIT, whose stack is bounded by kJitStackMax.
constexpr std::uint32_t kMatchLimit = 10'000'000;
constexpr std::uint32_t kHeapLimitKib = 64 * 1024;

// Every option in one place. Without UTF, PCRE2 counts UTF-16 units and lets
// lone surrogates through; without UCP, \d \w \s \b and case folding stay
// ASCII, as the script syntax has them.
std::uint32_t compile_options(const EngineOptions& options) {
    std::uint32_t flags = PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP |
                          PCRE2_NEVER_BACKSLASH_C | PCRE2_MATCH_UNSET_BACKREF;
    if (options.ignore_case) flags |= PCRE2_CASELESS;
    return flags;
}

PCRE2_SPTR16 code_units(std::u16string_view text) {
    return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

}  // namespace

struct RegexEngine::Compiled {
    CodePtr code;
};

RegexEngine::RegexEngine(std::u16string pattern, const EngineOptions& options)
    : pattern_(std::move(pattern)), options_(options) {
    const std::optional<TranslatedPattern> translated =
        translate_pattern(pattern_, options_.multiline);
    if (!translated) return;
    // The translation nests deeper than the pattern it came from.
    const CompileContextPtr context(pcre2_compile_context_create_16(nullptr));
    if (!context) return;
    pcre2_set_parens_nest_limit_16(context.get(), kMaxTranslatedNesting);
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    CodePtr code(pcre2_compile_16(code_units(translated->pcre2_pattern),
                                  translated->pcre2_pattern.size(), compile_options(options_),
                                  &error, &error_offset, context.get()));
    if (!code) return;
    auto compiled = std::make_unique<Compiled>();
    // Without JIT support pcre2_match interprets the pattern; nothing else changes.
    (void)pcre2_jit_compile_16(code.get(), PCRE2_JIT_COMPLETE);
    compiled->code = std::move(code);
    compiled_ = std::move(compiled);
}

RegexEngine::~RegexEngine() = default;
RegexEngine::RegexEngine(RegexEngine&& other) noexcept = default;
RegexEngine& RegexEngine::operator=(RegexEngine&& other) noexcept = default;

std::optional<MatchCollection> RegexEngine::execute(std::u16string_view subject) const {
    if (!compiled_) return std::nullopt;
    return execute(std::make_shared<const std::u16string>(subject));
}

template <typename OnMatch>
bool RegexEngine::for_each_match(std::u16string_view subject, OnMatch on_match) const {
    if (!compiled_ || subject.size() >= MatchSpan::kUnset) return false;
    pcre2_code_16* code = compiled_->code.get();
    const MatchDataPtr match_data(pcre2_match_data_create_from_pattern_16(code, nullptr));
    if (!match_data) return false;

    // Our own limits, not whatever the library was built with.
    const MatchContextPtr context(pcre2_match_context_create_16(nullptr));
    if (!context) return false;
    pcre2_set_match_limit_16(context.get(), kMatchLimit);
    pcre2_set_depth_limit_16(context.get(), kMatchLimit);
    pcre2_set_heap_limit_16(context.get(), kHeapLimitKib);
    JitStackPtr jit_stack;

    const std::size_t spans_per_match = group_count() + 1;
    std::vector<MatchSpan> spans(spans_per_match);
    PCRE2_SIZE start = 0;
    while (start <= subject.size()) {
        int result = pcre2_match_16(code, code_units(subject), subject.size(), start, 0,
                                    match_data.get(), context.get());
        if (result == PCRE2_ERROR_JIT_STACKLIMIT && !jit_stack) {
            // Most searches fit the default stack; give the rest a larger one.
            jit_stack.reset(pcre2_jit_stack_create_16(kJitStackStart, kJitStackMax, nullptr));
            if (!jit_stack) return false;
            pcre2_jit_stack_assign_16(context.get(), nullptr, jit_stack.get());
            result = pcre2_match_16(code, code_units(subject), subject.size(), start, 0,
                                    match_data.get(), context.get());
        }
        if (result == PCRE2_ERROR_NOMATCH) break;
        if (result <= 0) return false;  // a limit was hit: no partial answer
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(match_data.get());
        for (std::size_t group = 0; group < spans_per_match; ++group) {
            const PCRE2_SIZE begin = ovector[2 * group];
            const PCRE2_SIZE end = ovector[2 * group + 1];
            if (group >= static_cast<std::size_t>(result) || begin == PCRE2_UNSET) {
                spans[group] = MatchSpan{};
            } else {
                spans[group] = MatchSpan{.start = static_cast<std::uint32_t>(begin),
                                         .length = static_cast<std::uint32_t>(end - begin)};
            }
        }
        if (!on_match(spans) || !options_.global) break;
        // After an empty match the search moves on by one unit, never retrying in place.
        start = ovector[1] == ovector[0] ? ovector[1] + 1 : ovector[1];
    }
    return true;
}

std::size_t RegexEngine::group_count() const {
    std::uint32_t capture_count = 0;
    if (compiled_)
        pcre2_pattern_info_16(compiled_->code.get(), PCRE2_INFO_CAPTURECOUNT, &capture_count);
    return capture_count;
}

std::optional<MatchCollection> RegexEngine::execute(
    std::shared_ptr<const std::u16string> shared_subject) const {
    if (!compiled_ || !shared_subject) return std::nullopt;
    std::vector<MatchSpan> spans;
    const bool searched =
        for_each_match(*shared_subject, [&spans](const std::vector<MatchSpan>& match) {
            spans.insert(spans.end(), match.begin(), match.end());
            return true;
        });
    if (!searched) return std::nullopt;
    return MatchCollection(std::move(shared_subject), group_count(), std::move(spans));
}

std::optional<MatchSpan> RegexEngine::nth_match_group(std::u16string_view subject,
                                                      std::size_t match, std::size_t group,
                                                      std::size_t* matches_seen) const {
    MatchSpan found;
    std::size_t seen = 0;
    const bool searched = for_each_match(subject, [&](const std::vector<MatchSpan>& spans) {
        if (seen++ < match) return true;
        if (group < spans.size()) found = spans[group];
        return false;
    });
    if (!searched) return std::nullopt;
    if (matches_seen != nullptr) *matches_seen = seen;
    return found;
}

std::optional<std::u16string> RegexEngine::replace(std::u16string_view subject,
                                                   std::u16string_view replacement) const {
    std::optional<MatchCollection> matches = execute(subject);
    if (!matches) return std::nullopt;
    return replace_matches(*matches, replacement);
}

}  // namespace novel
