#include "text/text_operations.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/gbk.h"

using namespace std::string_view_literals;
using namespace novel;

namespace {
// 瞓 is B2 62 in GBK: its second byte is 'b', so 瞓 followed by 'r' holds
// the bytes "br" without holding the word.
constexpr std::string_view kWithTrailB = "\xb2\x62"sv;
constexpr std::string_view kBr = "\xb2\x62r"sv;
}  // namespace

TEST(TextLength, CountsBytesNotCharacters) {
    EXPECT_EQ(text_length(""), 0);
    EXPECT_EQ(text_length("\xd6\xd0"
                          "a"),
              3);
    EXPECT_EQ(text_length("a\0b"sv), 3);
}

TEST(FindText, PositionsAreOneBasedAndStartIsInclusive) {
    EXPECT_EQ(find_text("abcabc", "bc"), 2);
    EXPECT_EQ(find_text("abcabc", "bc", 2), 2);
    EXPECT_EQ(find_text("abcabc", "bc", 3), 5);
    EXPECT_EQ(find_text("abcabc", "bc", 6), -1);
    EXPECT_EQ(find_text("abcabc", "bc", 0), 2);
    EXPECT_EQ(find_text("abcabc", "bc", -7), 2);
    EXPECT_EQ(find_text("abc", "c", 4), -1);
    EXPECT_EQ(find_text("abc", "c", 100), -1);
    EXPECT_EQ(find_text("abc", "abcd"), -1);
}

TEST(FindText, EmptyNeedleOrTextFindsNothing) {
    EXPECT_EQ(find_text("abc", ""), -1);
    EXPECT_EQ(find_text("", "a"), -1);
    EXPECT_EQ(find_text("", ""), -1);
}

TEST(FindText, CaseRuleFoldsAsciiLettersOnly) {
    EXPECT_EQ(find_text("xBRx", "br"), -1);
    EXPECT_EQ(find_text("xBRx", "br", 1, true), 2);
    EXPECT_EQ(find_text("xbrx", "BR", 1, true), 2);
    EXPECT_EQ(find_text("a[b", "{", 1, true), -1);  // '[' and '{' differ by the same bit
}

TEST(FindText, NeverMatchesOnTheSecondByteOfACharacter) {
    const std::string text = std::string(kBr) + "br";
    EXPECT_EQ(find_text(text, "br"), 4);
    EXPECT_EQ(find_text(text, "BR", 1, true), 4);
    EXPECT_EQ(find_text(kWithTrailB, "b"), -1);
    // A lead byte at the very end has no trail byte: it stands alone.
    EXPECT_EQ(find_text("a\xd6"sv, "\xd6"sv), 2);
    // A byte that cannot be a trail byte ends the pair: 0xD6 then '0' are two characters.
    EXPECT_EQ(find_text("\xd6"
                        "0"sv,
                        "0"),
              2);
}

TEST(FindText, NulBytesAreOrdinaryBytes) {
    EXPECT_EQ(find_text("a\0div>"sv, "div>"), 3);
    EXPECT_EQ(find_text("a\0b"sv, "\0b"sv), 2);
}

TEST(FindTextLast, FindsTheLastOccurrenceBeginningAtOrBeforeStart) {
    EXPECT_EQ(find_text_last("abcabc", "bc"), 5);
    EXPECT_EQ(find_text_last("abcabc", "bc", 5), 5);
    EXPECT_EQ(find_text_last("abcabc", "bc", 4), 2);
    EXPECT_EQ(find_text_last("abcabc", "bc", 1), -1);
    EXPECT_EQ(find_text_last("abcabc", "x"), -1);
    EXPECT_EQ(find_text_last("abcabc", ""), -1);
    EXPECT_EQ(find_text_last("aaaa", "aa"), 3);  // overlapping occurrences count
    EXPECT_EQ(find_text_last("xBCx", "bc", std::nullopt, true), 2);
    EXPECT_EQ(find_text_last(std::string(kBr) + "br" + std::string(kBr), "br"), 4);
}

TEST(ReplaceText, ReplacesLeftToRightWithoutOverlapOrRescan) {
    EXPECT_EQ(replace_text("a---b", "--", ""), "a-b");
    EXPECT_EQ(replace_text("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(replace_text("<<>>", "<>", ""), "<>");
    EXPECT_EQ(replace_text("abc", "", "x"), "abc");
    EXPECT_EQ(replace_text("", "a", "x"), "");
    EXPECT_EQ(replace_text("abc", "abc", ""), "");
}

TEST(ReplaceText, StartKeepsEarlierBytesAndCountLimits) {
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 2), "/abc");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 3), "/abc");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 4), "/a/bc");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 7), "/a/b/c");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 1, 2), "ab/c");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 1, 0), "/a/b/c");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 1, -1), "/a/b/c");
    EXPECT_EQ(replace_text("/a/b/c", "/", "", 1, std::nullopt), "abc");
}

TEST(ReplaceText, CaseSensitiveByDefaultAndCaseBlindOnRequest) {
    EXPECT_EQ(replace_text("Brown br BR", "br", ""), "Brown  BR");
    EXPECT_EQ(replace_text("Brown br BR", "br", "", 1, std::nullopt, false), "own  ");
}

TEST(ReplaceText, LeavesDoubleByteCharactersWhole) {
    const std::string text = std::string(kBr) + "<br>" + std::string(kWithTrailB) + "R";
    EXPECT_EQ(replace_text(text, "br", "", 1, std::nullopt, false),
              std::string(kBr) + "<>" + std::string(kWithTrailB) + "R");
    EXPECT_EQ(replace_text(text, "r", "", 1, std::nullopt, false),
              std::string(kWithTrailB) + "<b>" + std::string(kWithTrailB));
}

TEST(LeftRightMid, ClampToTheText) {
    EXPECT_EQ(left_text("abc", 2), "ab");
    EXPECT_EQ(left_text("abc", 5), "abc");
    EXPECT_EQ(left_text("abc", 0), "");
    EXPECT_EQ(left_text("abc", -1), "");
    EXPECT_EQ(right_text("abc", 2), "bc");
    EXPECT_EQ(right_text("abc", 9), "abc");
    EXPECT_EQ(right_text("abc", -2), "");
    EXPECT_EQ(mid_text("abcdef", 2, 3), "bcd");
    EXPECT_EQ(mid_text("abcdef", 5, 9), "ef");
    EXPECT_EQ(mid_text("abcdef", 2, 0), "");
    EXPECT_EQ(mid_text("abcdef", 7, 1), "");
    EXPECT_EQ(mid_text("abcdef", 0, 2), "ab");
    EXPECT_EQ(mid_text("a\0c"sv, 2, 2), "\0c"sv);
}

TEST(SplitText, KeepsEmptyPiecesAndMatchesExactly) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(split_text("a;b;c", ";"), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(split_text("abc", ";"), (Pieces{"abc"}));
    EXPECT_EQ(split_text("", ";"), (Pieces{""}));
    EXPECT_EQ(split_text("a;", ";"), (Pieces{"a", ""}));
    EXPECT_EQ(split_text(";;", ";"), (Pieces{"", "", ""}));
    EXPECT_EQ(split_text("a\r\nb\r\n", "\r\n"), (Pieces{"a", "b", ""}));
    EXPECT_EQ(split_text("aXbxc", "x"), (Pieces{"aXb", "c"}));
    EXPECT_EQ(split_text("abc", ""), (Pieces{"abc"}));
}

TEST(TrimAndRemoveSpaces, HandleSpaceAndTab) {
    EXPECT_EQ(trim_text("  a b\t "), "a b");
    EXPECT_EQ(trim_text(" \t "), "");
    EXPECT_EQ(trim_text(""), "");
    EXPECT_EQ(trim_text("x"), "x");
    EXPECT_EQ(remove_spaces(" a = hello\tworld "), "a=helloworld");
    EXPECT_EQ(remove_spaces("\r\n"), "\r\n");
}

// A reference search that knows nothing of speed: walk the characters and
// compare at each boundary.
namespace {
bool lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }
char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

int reference_find(const std::string& text, const std::string& needle, int start, bool blind) {
    if (needle.empty()) return -1;
    std::size_t i = 0;
    while (i < text.size()) {
        if (static_cast<int>(i) + 1 >= start && i + needle.size() <= text.size()) {
            bool equal = true;
            for (std::size_t k = 0; k < needle.size() && equal; ++k) {
                equal = blind ? fold(text[i + k]) == fold(needle[k]) : text[i + k] == needle[k];
            }
            if (equal) return static_cast<int>(i) + 1;
        }
        const bool pair = lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                          trail(static_cast<unsigned char>(text[i + 1]));
        i += pair ? 2 : 1;
    }
    return -1;
}

std::string reference_replace(const std::string& text, const std::string& find,
                              const std::string& replacement, int start, bool blind) {
    std::string result;
    std::size_t copied = 0;
    for (int p = reference_find(text, find, start, blind); p != -1;
         p = reference_find(text, find, static_cast<int>(copied) + 1, blind)) {
        result += text.substr(copied, static_cast<std::size_t>(p) - 1 - copied) + replacement;
        copied = static_cast<std::size_t>(p) - 1 + find.size();
    }
    return result + text.substr(copied);
}

std::string random_text(std::mt19937& random, std::size_t max_size) {
    static constexpr char kAlphabet[] = {'a',  'b',    'r',    'B',    'R',    '/',    '<',    '>',
                                         '\0', '\x81', '\xb2', '\xd6', '\xfe', '\xff', '\x7f', '@'};
    std::uniform_int_distribution<std::size_t> size(0, max_size);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
    std::string text(size(random), ' ');
    for (char& c : text) c = kAlphabet[pick(random)];
    return text;
}
}  // namespace

TEST(TextOperationsRandomised, AgreeWithAPlainReferenceAndStayInBounds) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = random_text(random, 24);
        const std::string needle = random_text(random, 3);
        const int start = static_cast<int>(random() % 30) - 3;
        const bool blind = random() % 2 == 0;
        ASSERT_EQ(find_text(text, needle, start, blind), reference_find(text, needle, start, blind))
            << "round " << round;

        int last = -1;
        for (int p = reference_find(text, needle, 1, blind); p != -1;
             p = reference_find(text, needle, p + 1, blind)) {
            last = p;
        }
        ASSERT_EQ(find_text_last(text, needle, std::nullopt, blind), last);

        ASSERT_EQ(replace_text(text, needle, "#", start, std::nullopt, !blind),
                  reference_replace(text, needle, "#", start, blind));
        const int count = static_cast<int>(random() % 5) - 1;
        (void)replace_text(text, needle, "", start, count, !blind);
        (void)mid_text(text, start, count * 7);
        (void)left_text(text, start);
        (void)right_text(text, start);
        (void)split_text(text, needle);
        (void)trim_text(text);
    }
}

// The byte rule and the converter part ways on exactly the pairs GBK leaves
// unmapped: a marker never matches inside one, while decoding reads its
// trail byte as a character of its own.
TEST(GbkCharacterRule, UnmappedPairsStayWholeForMarkersAndSplitWhenDecoded) {
    int unmapped = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string decoded = gbk_to_utf16(pair);
            if (decoded.size() == 1 && decoded[0] != u'\uFFFD') continue;  // a character
            ++unmapped;
            ASSERT_EQ(decoded.size(), 2u) << lead << " " << trail;
            EXPECT_EQ(decoded[0], u'\uFFFD');
            // The trail alone is never found inside the pair, nor across it.
            EXPECT_EQ(find_text(pair, pair.substr(1), 2), -1) << lead << " " << trail;
            EXPECT_EQ(find_text(pair + "x", pair.substr(1) + "x", 2), -1);
            EXPECT_EQ(find_text("a" + pair, pair), 2);
            EXPECT_EQ(text_length(pair), 2);
        }
    }
    EXPECT_EQ(unmapped, 2149);
}
