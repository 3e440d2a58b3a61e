#include "regex/pattern_translator.h"

#include <gtest/gtest.h>

#include <string>

#include "regex/regex_engine.h"

using namespace std::string_view_literals;
using namespace novel;

namespace {

bool accepted(std::u16string_view pattern) { return translate_pattern(pattern, false).has_value(); }

}  // namespace

TEST(PatternTranslator, AcceptsTheScriptSyntax) {
    for (std::u16string_view pattern :
         {u""sv, u"<a href=\"(.*?)\">"sv, u"(?:ab)+|c*?"sv, u"a(?=b)(?!c)"sv, u"x{2}y{2,}z{2,5}?"sv,
          u"[a-z\\d_-]\\b\\B^$"sv, u"\\cJ\\x41\\u0041\\101\\0"sv, u"(a)\\1"sv, u"\\2(a)(b)"sv,
          u"[]|[^]"sv, u"a{|a{,3}|a{x}|}|]"sv, u"\\j\\e\\a\\y"sv, u"(?=a)*"sv, u"a||b|"sv,
          u"[\\b\\B\\]\\[]"sv, u"\\c"sv, u"\\x4"sv, u"\\u12"sv, u"\\8\\9"sv}) {
        EXPECT_TRUE(accepted(pattern)) << std::string(pattern.begin(), pattern.end());
        // The translation must be a pattern PCRE2 compiles.
        EXPECT_TRUE(RegexEngine(std::u16string(pattern), {}).is_valid());
        EXPECT_TRUE(RegexEngine(std::u16string(pattern), {.multiline = true}).is_valid());
    }
}

TEST(PatternTranslator, RejectsPcreOnlySyntax) {
    for (std::u16string_view pattern :
         {u"(?<=a)b"sv, u"(?<!a)b"sv, u"(?<n>a)"sv, u"(?P<n>a)"sv, u"(?'n'a)"sv, u"(?i)a"sv,
          u"(?i:a)"sv,  u"(?>a)"sv,   u"(?|a)"sv,   u"(?#note)"sv, u"(?R)"sv,    u"(?1)"sv,
          u"(?(1)a)"sv, u"(*UTF)a"sv, u"a++"sv,     u"a*+"sv,      u"a?+"sv,     u"a{2}+"sv,
          u"\\Aa"sv,    u"a\\z"sv,    u"a\\Z"sv,    u"\\p{L}"sv,   u"\\P{L}"sv,  u"a\\Kb"sv,
          u"\\Qa\\E"sv, u"\\G"sv,     u"\\R"sv,     u"\\X"sv,      u"\\h"sv,     u"\\k<n>"sv,
          u"\\g1"sv,    u"\\N"sv,     u"[\\p{L}]"sv})
        EXPECT_FALSE(accepted(pattern)) << std::string(pattern.begin(), pattern.end());
}

TEST(PatternTranslator, RejectsMalformedPatterns) {
    for (std::u16string_view pattern : {u"("sv,
                                        u")"sv,
                                        u"a)"sv,
                                        u"(a"sv,
                                        u"[a"sv,
                                        u"[^"sv,
                                        u"["sv,
                                        u"*a"sv,
                                        u"+"sv,
                                        u"?"sv,
                                        u"a**"sv,
                                        u"a*??"sv,
                                        u"a{2}{3}"sv,
                                        u"{2}"sv,
                                        u"|*"sv,
                                        u"(*)"sv,
                                        u"^*"sv,
                                        u"$+"sv,
                                        u"\\b+"sv,
                                        u"\\B{2}"sv,
                                        u"x{3,2}"sv,
                                        u"a{70000}"sv,
                                        u"a{1,99999999999}"sv,
                                        u"[z-a]"sv,
                                        u"a\\"sv,
                                        u"[a\\"sv,
                                        u"(?"sv,
                                        u"(?:a"sv})
        EXPECT_FALSE(accepted(pattern)) << std::string(pattern.begin(), pattern.end());
}

TEST(PatternTranslator, CountsCapturingGroupsOnly) {
    EXPECT_EQ(translate_pattern(u"(a)(?:b)(?=(c))[(]\\(", false)->group_count, 2);
    EXPECT_EQ(translate_pattern(u"[](a)", false)->group_count, 1);  // "[]" ends at once
    EXPECT_EQ(translate_pattern(u"[^](a)", false)->group_count, 1);
}

TEST(PatternTranslator, KeepsPcreMetacharactersAndFlagsOutOfTheOutput) {
    // Literals reach PCRE2 as \x{..}, back-references as \g{n}, so no
    // following digit or PCRE2 option syntax can change their meaning.
    EXPECT_EQ(translate_pattern(u"(a)\\10", false)->pcre2_pattern, u"(a)\\x{8}"sv);
    EXPECT_EQ(translate_pattern(u"(a)\\1x", false)->pcre2_pattern, u"(a)\\g{1}x"sv);
    EXPECT_EQ(translate_pattern(u"a.{2}", false)->pcre2_pattern, u"a[^\\x{a}]{2,2}"sv);
    EXPECT_EQ(translate_pattern(u"^a$", false)->pcre2_pattern, u"^a$"sv);
    EXPECT_EQ(translate_pattern(u"^a$", true)->pcre2_pattern,
              u"(?<![^\\x{a}\\x{d}])a(?![^\\x{a}\\x{d}])"sv);
}

TEST(PatternTranslator, SurvivesDeepNestingWithoutRecursingWithoutBound) {
    const std::u16string deep = std::u16string(100000, u'(') + std::u16string(100000, u')');
    EXPECT_FALSE(accepted(deep));
    const std::u16string shallow = std::u16string(50, u'(') + std::u16string(50, u')');
    EXPECT_TRUE(accepted(shallow));
}
