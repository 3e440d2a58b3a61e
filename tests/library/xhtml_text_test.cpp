#include "library/xhtml_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace novel {
namespace {
using namespace std::string_literals;
using namespace std::string_view_literals;

struct EscapeCase {
    std::string_view input;
    std::string_view escaped;
};

TEST(XmlEscape, WritesMarkupAsEntitiesAndDropsWhatXmlForbids) {
    const std::vector<EscapeCase> cases = {
        {"plain", "plain"},
        {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c'"},
        {"&amp;", "&amp;amp;"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {"nul\0here"sv, "nulhere"},
        {"\x01\x08\x0B\x0C\x1F\x7F", "\x7F"},  // DEL is allowed in XML 1.0
        {"\xED\xA0\x80x\xED\xBF\xBF", "x"},    // surrogates written as UTF-8
        {"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD",
         "\xEF\xBF\xBD"},                          // U+FFFE, U+FFFF go; U+FFFD stays
        {"\xC0\xAF<\xE4\xB8", "&lt;"},             // overlong form, truncated sequence
        {"\x80\xE4\xB8\xAD\xFF", "\xE4\xB8\xAD"},  // stray bytes around a good character
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // outside the basic plane is fine
        {"\xF4\x90\x80\x80", ""},                  // beyond U+10FFFF
        {"\xE3\x80\x80\xE8\xBF\x99", "\xE3\x80\x80\xE8\xBF\x99"},
    };
    for (const EscapeCase& c : cases) {
        EXPECT_EQ(xml_escape(c.input), c.escaped) << "input: " << c.input;
    }
}

TEST(XmlEscape, CharactersOnlyKeepsMarkupAndDropsTheSameCharacters) {
    EXPECT_EQ(xml_characters_only("a<b&\0c\x01\xED\xA0\x80"sv), "a<b&c");
    EXPECT_EQ(xml_characters_only("\xE4\xB8\xAD\xE6\x96\x87"), "\xE4\xB8\xAD\xE6\x96\x87");
}

// Whatever comes in, what goes out is well-formed UTF-8 without a forbidden
// character and without a bare markup character.
TEST(XmlEscape, RandomBytesComeOutAsAcceptableXmlText) {
    std::mt19937 random(20240301);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string input(static_cast<std::size_t>(byte(random) % 40), '\0');
        for (char& c : input) c = static_cast<char>(byte(random));
        const std::string out = xml_escape(input);
        EXPECT_EQ(xml_characters_only(out), out);
        EXPECT_EQ(out.find_first_of("<>\""), std::string::npos);
        for (std::size_t at = out.find('&'); at != std::string::npos; at = out.find('&', at + 1)) {
            const std::string_view rest = std::string_view(out).substr(at);
            EXPECT_TRUE(rest.starts_with("&amp;") || rest.starts_with("&lt;") ||
                        rest.starts_with("&gt;") || rest.starts_with("&quot;"));
        }
    }
}

TEST(PageParagraphs, SkipsTheTitleLineAndBlankLinesAndTheIndent) {
    const std::string text =
        "\r\n第2章 夜行\r\n    第一段。\r\n\r\n    \r\n\xE3\x80\x80\xE3\x80\x80第二段。  \r\n"
        "\xC2\xA0\t第三段\n第四段";
    const std::vector<std::string_view> expected = {"第一段。", "第二段。", "第三段", "第四段"};
    EXPECT_EQ(page_paragraphs(text), expected);
}

TEST(PageParagraphs, KeepsSpacesInsideAParagraph) {
    EXPECT_EQ(page_paragraphs("\r\nT\r\n    a  b \xE3\x80\x80 c"),
              std::vector<std::string_view>{"a  b \xE3\x80\x80 c"});
}

TEST(PageParagraphs, TextWithTitleOnlyOrNothingHasNoParagraphs) {
    EXPECT_TRUE(page_paragraphs("").empty());
    EXPECT_TRUE(page_paragraphs("\r\n").empty());
    EXPECT_TRUE(page_paragraphs("\r\n第1章\r\n").empty());
    EXPECT_TRUE(page_paragraphs("\r\n第1章\r\n    \r\n    ").empty());
}

TEST(Utf8FromGbk, ConvertsAndMarksBadBytes) {
    EXPECT_EQ(utf8_from_gbk("\xD5\xE2"), "这");
    EXPECT_EQ(utf8_from_gbk("a\xFF"), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace novel
