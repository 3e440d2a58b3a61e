// The pattern translator with the engine, on any pattern and subject: PCRE2
// compiles every translation unless it is too large for it, agrees on the
// group count, and finds the same first match with its JIT as without;
// matches lie in the subject and in order, "$&" gives the subject back, and
// the GBK object cuts each match from its own subject.
//
// Input: the pattern and the subject, each ended by a backslash and one more
// byte ("\\" is a backslash inside them), then the replacement; the last byte
// holds the flags (1 ignore case, 2 multiline, 4 global).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "regex/pattern_translator.h"
#include "regex/pcre2_handles.h"
#include "regex/regex_engine.h"
#include "regex/regex_object.h"

namespace novel::fuzz {
namespace {

using pcre2::CodePtr;
using pcre2::CompileContextPtr;
using pcre2::MatchContextPtr;
using pcre2::MatchDataPtr;

// The translation compiled with the options the engine gives PCRE2.
CodePtr compile(const TranslatedPattern& translated, bool ignore_case, int* error) {
    const CompileContextPtr context(pcre2_compile_context_create_16(nullptr));
    pcre2_set_parens_nest_limit_16(context.get(), kMaxTranslatedNesting);
    const std::uint32_t flags = PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP |
                                PCRE2_NEVER_BACKSLASH_C | PCRE2_MATCH_UNSET_BACKREF |
                                (ignore_case ? PCRE2_CASELESS : 0U);
    PCRE2_SIZE offset = 0;
    return CodePtr(pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(translated.pcre2_pattern.data()),
                                    translated.pcre2_pattern.size(), flags, error, &offset,
                                    context.get()));
}

// The first match's spans; std::nullopt when a limit ended the search.
std::optional<std::vector<PCRE2_SIZE>> first_match(pcre2_code_16* code,
                                                   const std::u16string& subject, bool jit) {
    const MatchDataPtr data(pcre2_match_data_create_from_pattern_16(code, nullptr));
    const MatchContextPtr context(pcre2_match_context_create_16(nullptr));
    pcre2_set_match_limit_16(context.get(), 1'000'000);
    pcre2_set_heap_limit_16(context.get(), 64 * 1024);
    const int result =
        pcre2_match_16(code, reinterpret_cast<PCRE2_SPTR16>(subject.data()), subject.size(), 0,
                       jit ? 0U : PCRE2_NO_JIT, data.get(), context.get());
    if (result == PCRE2_ERROR_NOMATCH) return std::vector<PCRE2_SIZE>();
    if (result <= 0) return std::nullopt;
    const PCRE2_SIZE* spans = pcre2_get_ovector_pointer_16(data.get());
    return std::vector<PCRE2_SIZE>(spans, spans + 2 * result);
}

void check_pcre2(const TranslatedPattern& translated, const RegexEngine& engine,
                 const std::u16string& subject, bool ignore_case) {
    int error = 0;
    const CodePtr code = compile(translated, ignore_case, &error);
    FUZZ_CHECK(engine.is_valid() == (code != nullptr));
    if (!code) {
        // How large PCRE2's compiled form grows is beyond the translator's sight.
        FUZZ_CHECK(error == PCRE2_ERROR_PATTERN_TOO_LARGE);
        return;
    }
    std::uint32_t groups = 0;
    pcre2_pattern_info_16(code.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
    FUZZ_CHECK(groups == static_cast<std::uint32_t>(translated.group_count));
    if (pcre2_jit_compile_16(code.get(), PCRE2_JIT_COMPLETE) != 0) return;
    const auto with_jit = first_match(code.get(), subject, true);
    const auto without_jit = first_match(code.get(), subject, false);
    if (with_jit && without_jit) FUZZ_CHECK(*with_jit == *without_jit);
}

void check_spans(const MatchCollection& matches, std::size_t subject_size, bool global) {
    FUZZ_CHECK(global || matches.size() <= 1);
    std::uint32_t previous_end = 0;
    for (std::size_t i = 0; i < matches.size(); ++i) {
        const MatchSpan whole = matches.span(i);
        FUZZ_CHECK(whole.is_set());
        FUZZ_CHECK(whole.end() <= subject_size);
        // After an empty match the search moves on, so no match repeats a place.
        FUZZ_CHECK(whole.start >= previous_end);
        FUZZ_CHECK(i == 0 || whole.start > matches.span(i - 1).start);
        previous_end = whole.end();
        for (std::size_t group = 1; group <= matches.group_count(); ++group) {
            const MatchSpan span = matches.span(i, group);
            FUZZ_CHECK(!span.is_set() || span.end() <= subject_size);
        }
    }
}

void check_engine(const std::u16string& pattern, const std::u16string& subject,
                  const std::u16string& replacement, const EngineOptions& options) {
    const std::optional<TranslatedPattern> translated =
        translate_pattern(pattern, options.multiline);
    const RegexEngine engine(pattern, options);
    if (!translated) {
        FUZZ_CHECK(!engine.is_valid());
        return;
    }
    check_pcre2(*translated, engine, subject, options.ignore_case);
    if (!engine.is_valid()) return;
    FUZZ_CHECK(engine.group_count() == static_cast<std::size_t>(translated->group_count));

    const std::optional<MatchCollection> matches = engine.execute(subject);
    if (!matches) return;  // the search hit a limit: an answer, not a fault
    FUZZ_CHECK(matches->group_count() == engine.group_count());
    check_spans(*matches, subject.size(), options.global);
    FUZZ_CHECK(replace_matches(*matches, u"$&") == subject);

    const std::optional<std::u16string> replaced = engine.replace(subject, replacement);
    FUZZ_CHECK(replaced.has_value());
    FUZZ_CHECK(*replaced == replace_matches(*matches, replacement));
    if (matches->size() > 0) {
        const std::size_t last = matches->size() - 1;
        const std::size_t group = replacement.size() % (matches->group_count() + 1);
        const std::optional<MatchSpan> nth = engine.nth_match_group(subject, last, group);
        FUZZ_CHECK(nth.has_value());
        FUZZ_CHECK(nth->start == matches->span(last, group).start);
        FUZZ_CHECK(nth->length == matches->span(last, group).length);
    }
}

// The same texts as GBK through the object the chapter pipeline uses.
void check_object(const std::string& pattern, const std::string& subject,
                  const std::string& replacement, const EngineOptions& options) {
    RegexObject object;
    if (!object.execute(pattern, subject,
                        {.case_sensitive = !options.ignore_case,
                         .multiline = options.multiline,
                         .global = options.global})) {
        return;
    }
    FUZZ_CHECK(object.replace("$&") == subject);
    (void)object.replace(replacement);
    for (int i = 1; i <= object.match_count(); ++i) {
        int position = 0;
        const std::string match = object.match(i, &position);
        if (match.empty()) continue;
        FUZZ_CHECK(position >= 0);
        FUZZ_CHECK(static_cast<std::size_t>(position) + match.size() <= subject.size());
        FUZZ_CHECK(subject.compare(static_cast<std::size_t>(position), match.size(), match) == 0);
    }
}

}  // namespace
}  // namespace novel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace novel::fuzz;
    FuzzedDataProvider input(data, size);
    const auto flags = input.ConsumeIntegral<std::uint8_t>();
    const std::string pattern = input.ConsumeRandomLengthString();
    const std::string subject = input.ConsumeRandomLengthString();
    const std::string replacement = input.ConsumeRemainingBytesAsString();
    const novel::EngineOptions options{.ignore_case = (flags & 1U) != 0,
                                       .multiline = (flags & 2U) != 0,
                                       .global = (flags & 4U) != 0};
    check_engine(utf16_units(pattern), utf16_units(subject), utf16_units(replacement), options);
    check_object(pattern, subject, replacement, options);
    return 0;
}
