#include "regex/regex_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "regex/pattern_translator.h"

using namespace std::string_view_literals;
using namespace novel;

namespace {

constexpr EngineOptions kGlobal{.global = true};

// The values of all matches; a failed execution shows as {"<failed>"}.
std::vector<std::u16string> values(std::u16string_view pattern, std::u16string_view subject,
                                   const EngineOptions& options = kGlobal) {
    const RegexEngine engine{std::u16string(pattern), options};
    const std::optional<MatchCollection> matches = engine.execute(subject);
    if (!matches) return {u"<failed>"};
    std::vector<std::u16string> found;
    for (std::size_t i = 0; i < matches->size(); ++i) found.emplace_back(matches->value(i));
    return found;
}

std::vector<std::uint32_t> indices(std::u16string_view pattern, std::u16string_view subject,
                                   const EngineOptions& options = kGlobal) {
    const RegexEngine engine{std::u16string(pattern), options};
    const std::optional<MatchCollection> matches = engine.execute(subject);
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; matches && i < matches->size(); ++i) {
        found.push_back(matches->first_index(i));
    }
    return found;
}

bool matches_whole(std::u16string_view pattern, std::u16string_view subject,
                   const EngineOptions& options = {}) {
    const std::vector<std::u16string> found = values(pattern, subject, options);
    return found.size() == 1 && found[0] == subject;
}

std::u16string replaced(std::u16string_view pattern, std::u16string_view subject,
                        std::u16string_view replacement, const EngineOptions& options = kGlobal) {
    const RegexEngine engine{std::u16string(pattern), options};
    return engine.replace(subject, replacement).value_or(u"<failed>");
}

using Values = std::vector<std::u16string>;

}  // namespace

TEST(RegexEngineSyntax, DotStopsAtLineFeedButNotAtCarriageReturn) {
    EXPECT_EQ(values(u"a.b", u"a\nb a\rb a\u2028b"), (Values{u"a\rb", u"a\u2028b"}));
}

TEST(RegexEngineSyntax, ClassEscapesAreAscii) {
    EXPECT_EQ(values(u"\\d+", u"12\uff13\u0663"), (Values{u"12"}));
    EXPECT_EQ(values(u"\\w+", u"a_Z9\u00e9\u4e2d"), (Values{u"a_Z9"}));
    EXPECT_EQ(values(u"\\s", u" \f\n\r\t\v\u00a0\u3000"),
              (Values{u" ", u"\f", u"\n", u"\r", u"\t", u"\v"}));
    EXPECT_EQ(values(u"[\\S]+", u"a\u00a0 b"), (Values{u"a\u00a0", u"b"}));
    EXPECT_EQ(values(u"\\b\\w", u"\u00e9a b"), (Values{u"a", u"b"}));
    EXPECT_EQ(values(u"\\B.", u"ab"), (Values{u"b"}));
}

TEST(RegexEngineSyntax, CharacterEscapes) {
    EXPECT_TRUE(matches_whole(u"\\x41\\u4E2d\\cJ\\cj\\f\\v\\t", u"A\u4e2d\n\n\f\v\t"));
    EXPECT_TRUE(matches_whole(u"\\x4g", u"x4g"));    // \x needs two hex digits
    EXPECT_TRUE(matches_whole(u"\\u12g", u"u12g"));  // \u needs four
    EXPECT_TRUE(matches_whole(u"\\j\\e\\q\\-\\/", u"jeq-/"));
    EXPECT_TRUE(matches_whole(u"\\c1", u"\\c1"));  // no control letter: backslash and "c"
    EXPECT_TRUE(matches_whole(u"\\101\\0\\08\\400",
                              u"A\0\0"
                              u"8 0"sv));
    EXPECT_TRUE(matches_whole(u"[\\b][\\1][\\8]",
                              u"\b\x01"
                              u"8"));
}

TEST(RegexEngineSyntax, BackReferencesAndTheirOctalFallback) {
    EXPECT_EQ(values(u"(a)\\1", u"aa a"), (Values{u"aa"}));
    EXPECT_EQ(values(u"(a)\\2", u"a\x02"), (Values{u"a\x02"}));  // no group 2: octal
    EXPECT_EQ(values(u"(a)\\11", u"a\t"), (Values{u"a\t"}));
    EXPECT_EQ(values(u"(a)\\8", u"a8"), (Values{u"a8"}));
    EXPECT_TRUE(matches_whole(u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10", u"abcdefghijj"));
    // A group that took no part, or has not matched yet, matches the empty string.
    EXPECT_EQ(values(u"(a)?\\1b", u"b"), (Values{u"b"}));
    EXPECT_EQ(values(u"\\1(a)", u"a"), (Values{u"a"}));
    EXPECT_EQ(values(u"(a)\\1", u"aA", {.ignore_case = true}), (Values{u"aA"}));
}

// PCRE2 10.42 gets these wrong; the translator spells them so that it does not.
TEST(RegexEnginePcre2Faults, ARepeatedBackReferenceToAnUnsetGroupMatchesEmpty) {
    for (std::u16string_view pattern : {u"(a)|b\\1+"sv, u"(a)|b\\1{2}"sv, u"(a)|b\\1{2,}"sv,
                                        u"(a)|b\\1{1,3}"sv, u"(a)|b\\1+?"sv}) {
        EXPECT_EQ(values(pattern, u"b"), (Values{u"b"}))
            << std::string(pattern.begin(), pattern.end());
        EXPECT_EQ(indices(pattern, u"b"), (std::vector<std::uint32_t>{0}));
    }
    // A group that did take part still repeats its text.
    EXPECT_EQ(values(u"(a)\\1{2}", u"aaaa"), (Values{u"aaa"}));
    EXPECT_EQ(values(u"(a)\\1+?", u"aaa"), (Values{u"aa"}));
}

TEST(RegexEnginePcre2Faults, AGroupRepeatedZeroTimesNeedsNoCharacters) {
    EXPECT_EQ(indices(u"(?:b|(?=c)b){0}x", u"x"), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(indices(u"(?:b|(?=c)b){0,0}x", u"ax", {}), (std::vector<std::uint32_t>{1}));
    // The group keeps its number, and takes no part.
    const RegexEngine engine{u"(a|(?=c)b){0}(x)\\1", kGlobal};
    const std::optional<MatchCollection> matches = engine.execute(u"x");
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->size(), 1u);
    EXPECT_EQ(matches->group_count(), 2u);
    EXPECT_FALSE(matches->span(0, 1).is_set());
    EXPECT_EQ(matches->value(0, 2), u"x");
}

TEST(RegexEnginePcre2Faults, TheWorkaroundsKeepTheDeepestPatternsValid) {
    // Every group of the deepest pattern accepted, each repeated zero times.
    const std::u16string groups = std::u16string(kMaxPatternNesting, u'(') + u"\\1";
    std::u16string zero_times = groups;
    for (int i = 0; i < kMaxPatternNesting; ++i) zero_times += u"){0}";
    EXPECT_EQ(indices(zero_times + u"x", u"ax"), (std::vector<std::uint32_t>{1}));
}

TEST(RegexEngineSyntax, ClassesAndBraces) {
    EXPECT_EQ(values(u"[]", u"abc"), Values{});
    EXPECT_EQ(values(u"[^]", u"\n"), (Values{u"\n"}));
    EXPECT_EQ(values(u"[\\d-z]+", u"1-z5y"), (Values{u"1-z5"}));  // "-" beside \d is literal
    EXPECT_EQ(values(u"[^a-c]+", u"abxyc"), (Values{u"xy"}));
    EXPECT_EQ(values(u"[[\\]]+", u"a[]b"), (Values{u"[]"}));
    EXPECT_TRUE(matches_whole(u"a{,2}b{x}c{", u"a{,2}b{x}c{"));
    EXPECT_TRUE(matches_whole(u"a]}", u"a]}"));
    EXPECT_EQ(values(u"a{2,3}", u"aaaa"), (Values{u"aaa"}));
    EXPECT_EQ(values(u"a{2,3}?", u"aaaa"), (Values{u"aa", u"aa"}));
    EXPECT_EQ(values(u"a{2}", u"aaaaa"), (Values{u"aa", u"aa"}));
}

TEST(RegexEngineSyntax, GroupsLookaheadAndLazyRepeats) {
    EXPECT_EQ(values(u"<(.*?)>", u"<a><b>"), (Values{u"<a>", u"<b>"}));
    EXPECT_EQ(values(u"<(.*)>", u"<a><b>"), (Values{u"<a><b>"}));
    EXPECT_EQ(values(u"a(?=b)", u"ab ac"), (Values{u"a"}));
    EXPECT_EQ(indices(u"a(?!b)", u"ab ac"), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(values(u"(?:ab)+|c", u"ababc"), (Values{u"abab", u"c"}));
    const RegexEngine engine{u"(a)|(b)", kGlobal};
    const std::optional<MatchCollection> matches = engine.execute(u"b");
    ASSERT_TRUE(matches);
    EXPECT_EQ(matches->group_count(), 2u);
    EXPECT_FALSE(matches->span(0, 1).is_set());  // took no part
    EXPECT_EQ(matches->value(0, 1), u"");
    EXPECT_EQ(matches->value(0, 2), u"b");
    EXPECT_EQ(matches->value(0, 3), u"");  // beyond the groups
    EXPECT_EQ(matches->value(1, 0), u"");  // beyond the matches
}

TEST(RegexEngineAnchors, WithoutMultilineOnlyTheSubjectsEnds) {
    EXPECT_EQ(values(u"a$", u"a\n"), Values{});  // never before a final newline
    EXPECT_EQ(values(u"^b", u"a\nb"), Values{});
    EXPECT_EQ(values(u"^a|a$", u"aaa"), (Values{u"a", u"a"}));
    EXPECT_EQ(indices(u"^a|a$", u"aaa"), (std::vector<std::uint32_t>{0, 2}));
}

TEST(RegexEngineAnchors, MultilineLinesEndAtLineFeedOrCarriageReturn) {
    const EngineOptions multiline{.multiline = true, .global = true};
    EXPECT_EQ(values(u"^\\w", u"a\nb\rc\r\nd\u2028e", multiline), (Values{u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(values(u"\\w$", u"a\nb\rc\r\nd\u2028e", multiline), (Values{u"a", u"b", u"c", u"e"}));
    EXPECT_EQ(indices(u"^$", u"\r\n\n", multiline), (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

TEST(RegexEngineGlobal, AnEmptyMatchMovesTheSearchOnByOneUnit) {
    EXPECT_EQ(indices(u"x*", u"ab"), (std::vector<std::uint32_t>{0, 1, 2}));
    // Never retried in place for a longer match.
    EXPECT_EQ(values(u"(?:)|b", u"b"), (Values{u"", u""}));
    EXPECT_EQ(values(u"a|", u"ab"), (Values{u"a", u"", u""}));
    EXPECT_EQ(replaced(u"x*", u"ab", u"-"), u"-a-b-");
}

TEST(RegexEngineGlobal, WithoutGlobalOnlyTheFirstMatch) {
    EXPECT_EQ(values(u"a", u"aaa", {}), (Values{u"a"}));
    EXPECT_EQ(replaced(u"a", u"aaa", u"b", {}), u"baa");
    EXPECT_EQ(values(u"z", u"aaa", {}), Values{});
}

TEST(RegexEngineCase, IgnoreCaseFoldsAsciiLetters) {
    const EngineOptions blind{.ignore_case = true, .global = true};
    EXPECT_EQ(values(u"<a HREF=\"(.*?)\">", u"<A href=\"x\"><a href=\"y\">", blind),
              (Values{u"<A href=\"x\">", u"<a href=\"y\">"}));
    EXPECT_EQ(values(u"[a-c]+", u"AbCd", blind), (Values{u"AbC"}));
    EXPECT_EQ(values(u"[a-c]+", u"AbCd"), (Values{u"b"}));
    EXPECT_EQ(values(u"\\W+", u"aA\u212a", blind), (Values{u"\u212a"}));  // Kelvin sign is no "k"
}

TEST(RegexEngineUnits, IndicesCountUtf16UnitsWithLoneSurrogates) {
    EXPECT_EQ(indices(u"b",
                      u"\U0001F600\xd800"
                      u"ab"),
              (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(values(u".", u"\xdc00\xd800"), (Values{u"\xdc00", u"\xd800"}));
    EXPECT_EQ(values(u"\\ud800", u"x\xd800"), (Values{u"\xd800"}));
    EXPECT_EQ(values(u"[\\ud800-\\udfff]", u"\U0001F600"), (Values{u"\xd83d", u"\xde00"}));
}

TEST(RegexEngineLimits, LongBacktrackingSearchesGetALargerStack) {
    // 100000 repeats of a capturing alternative overflow the JIT's default stack.
    const std::u16string subject = std::u16string(100000, u'a') + u"c";
    const RegexEngine engine{u"(a|b)*c", {}};
    const std::optional<MatchCollection> matches = engine.execute(subject);
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->size(), 1u);
    EXPECT_EQ(matches->span(0).length, subject.size());
    EXPECT_EQ(matches->value(0, 1), u"a");
}

TEST(RegexEngineLimits, ASearchBeyondEveryLimitFailsInsteadOfReportingNoMatch) {
    const std::u16string subject = std::u16string(3000000, u'a') + u"c";
    EXPECT_FALSE(RegexEngine(u"(a|b)*c", {}).execute(subject));
}

TEST(RegexEngineLimits, CatastrophicBacktrackingEndsInFailure) {
    // "(a|a)*" can split a run of 40 letters in 2^40 ways before it gives up;
    // the "b" at the end keeps PCRE2 from ruling the match out at once.
    const std::u16string subject = std::u16string(40, u'a') + u"cb";
    for (const EngineOptions& options :
         {EngineOptions{}, EngineOptions{.ignore_case = true, .multiline = true, .global = true}}) {
        EXPECT_FALSE(RegexEngine(u"(a|a)*b", options).execute(subject));
        EXPECT_FALSE(RegexEngine(u"(?:a+)+b", options).execute(subject));
    }
}

TEST(RegexEngineInvalid, KeepsItsPropertiesButCannotRun) {
    const RegexEngine engine{u"(?<=a)b", {.ignore_case = true, .multiline = true}};
    EXPECT_FALSE(engine.is_valid());
    EXPECT_EQ(engine.pattern(), u"(?<=a)b");
    EXPECT_TRUE(engine.ignore_case());
    EXPECT_TRUE(engine.multiline());
    EXPECT_FALSE(engine.global());
    EXPECT_FALSE(engine.execute(u"ab"));
    EXPECT_FALSE(engine.replace(u"ab", u"x"));
}

TEST(RegexEngineReplace, DollarSequences) {
    struct Case {
        std::u16string_view pattern, subject, replacement, expected;
    };
    const Case cases[] = {
        {u"b", u"abc", u"[$$]", u"a[$]c"},
        {u"b", u"abc", u"[$&]", u"a[b]c"},
        {u"b", u"abc", u"[$`]", u"a[a]c"},
        {u"b", u"abc", u"[$']", u"a[c]c"},
        {u"(b)", u"abc", u"[$1]", u"a[b]c"},
        {u"(b)", u"abc", u"[$01]", u"a[b]c"},
        {u"(b)", u"abc", u"[$12]", u"a[b2]c"},  // no group 12: group 1 and a "2"
        {u"(b)", u"abc", u"[$2]", u"a[$2]c"},
        {u"(b)", u"abc", u"[$0]", u"a[$0]c"},
        {u"(b)", u"abc", u"[$00]", u"a[$00]c"},
        {u"(b)", u"abc", u"[$x$]", u"a[$x$]c"},
        {u"b", u"abc", u"$", u"a$c"},
        {u"(x)?b", u"abc", u"[$1]", u"a[]c"},
        {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)", u"abcdefghijkl", u"$12$11$10$1", u"lkja"},
        {u"a", u"aXa", u"$`", u"XaX"},
        {u"", u"ab", u"-", u"-a-b-"},
        {u"z", u"ab", u"-", u"ab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replaced(c.pattern, c.subject, c.replacement), c.expected)
            << std::string(c.replacement.begin(), c.replacement.end());
    }
}

// Random patterns from the metacharacters the translator handles: nothing may
// crash, and every valid pattern must give ordered, in-bounds matches.
TEST(RegexEngineRandom, RandomPatternsNeverBreakTheInvariants) {
    constexpr std::u16string_view kPatternUnits =
        u"ab()[]{}^$\\|*+?.,-019dwsbBxuc:=!<>\u4e2d\xd800\n";
    constexpr std::u16string_view kSubjectUnits = u"abAB01_ -\n\r<>\u4e2d\xd800\xdc00";
    std::mt19937 random(20240601);
    auto pick = [&](std::u16string_view from, std::size_t max_size) {
        std::u16string text(std::uniform_int_distribution<std::size_t>(0, max_size)(random), u' ');
        for (char16_t& unit : text) {
            unit = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
        }
        return text;
    };
    int valid = 0;
    for (int iteration = 0; iteration < 4000; ++iteration) {
        const std::u16string pattern = pick(kPatternUnits, 12);
        const std::u16string subject = pick(kSubjectUnits, 40);
        const EngineOptions options{.ignore_case = (iteration & 1) != 0,
                                    .multiline = (iteration & 2) != 0,
                                    .global = (iteration & 4) != 0};
        const RegexEngine engine{pattern, options};
        // Whatever the translator accepts, PCRE2 must compile.
        ASSERT_EQ(engine.is_valid(), translate_pattern(pattern, options.multiline).has_value())
            << std::string(pattern.begin(), pattern.end());
        const std::optional<MatchCollection> matches = engine.execute(subject);
        if (!matches) continue;
        ++valid;
        std::uint32_t previous_end = 0;
        for (std::size_t i = 0; i < matches->size(); ++i) {
            for (std::size_t group = 0; group <= matches->group_count(); ++group) {
                const MatchSpan span = matches->span(i, group);
                if (span.is_set()) {
                    ASSERT_LE(span.end(), subject.size());
                }
            }
            ASSERT_GE(matches->first_index(i), previous_end);
            previous_end = matches->span(i).end();
        }
        ASSERT_EQ(replace_matches(*matches, u"$&"), subject);
        (void)replace_matches(*matches, u"$1$2$`$'$$");
    }
    EXPECT_GT(valid, 500);  // the loop must exercise the matcher, not only the translator
}
