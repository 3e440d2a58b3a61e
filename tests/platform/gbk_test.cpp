#include "platform/gbk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace std::string_view_literals;
using namespace novel;

TEST(GbkDecoding, DecodesAsciiAndDoubleByteCharacters) {
    EXPECT_EQ(gbk_to_utf16(""), u"");
    EXPECT_EQ(gbk_to_utf16("a\0b"sv), u"a\0b"sv);
    EXPECT_EQ(gbk_to_utf16("\xd6\xd0\xce\xc4"), u"中文");
    EXPECT_EQ(gbk_to_utf16("\xb2\x62r"), u"瞓r");
    EXPECT_EQ(gbk_to_utf16("\x80"), u"\u20ac");  // the euro sign of code page 936
}

TEST(GbkDecoding, EachByteThatStartsNoCharacterBecomesOneReplacementUnit) {
    EXPECT_EQ(gbk_to_utf16("\xff"), u"\ufffd");
    EXPECT_EQ(gbk_to_utf16("a\xd6"), u"a\ufffd");        // lead byte at the end
    EXPECT_EQ(gbk_to_utf16("\xd6 x"), u"\ufffd x");      // no trail byte behind it
    EXPECT_EQ(gbk_to_utf16("\xd6\x7f"), u"\ufffd\x7f");  // 0x7F is never a trail byte
    EXPECT_EQ(gbk_to_utf16("\xff\xd6\xd0"), u"\ufffd中");
}

TEST(GbkEncoding, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(utf16_to_gbk(u"中文a"),
              "\xd6\xd0\xce\xc4"
              "a");
    EXPECT_EQ(utf16_to_gbk(u"\u0e01"), "?");          // Thai has no GBK code
    EXPECT_EQ(utf16_to_gbk(u"x\U0001F600y"), "x?y");  // one "?" for a surrogate pair
    EXPECT_EQ(utf16_to_gbk(u"\xd800"
                           "a"),
              "?a");                          // lone high surrogate
    EXPECT_EQ(utf16_to_gbk(u"\xdc00"), "?");  // lone low surrogate
    EXPECT_EQ(utf16_to_gbk(u"\ufffd"), "?");
    EXPECT_EQ(utf16_to_gbk(u"\u20ac"), "\x80");
    EXPECT_EQ(utf16_to_gbk(u"\0"sv), "\0"sv);
}

TEST(GbkRoundTrip, EveryDoubleByteCharacterComesBackByteForByte) {
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string decoded = gbk_to_utf16(bytes);
            if (decoded.size() != 1) continue;  // not a character of the code page
            ++characters;
            ASSERT_EQ(utf16_to_gbk(decoded), bytes) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(characters, 21000);  // GBK holds some 21,886 double-byte characters
}

TEST(DecodedGbk, MapsEveryUnitBackToTheByteWhereItsCharacterStarts) {
    const DecodedGbk decoded(
        "a\xd6\xd0\xff"
        "b");
    ASSERT_EQ(decoded.utf16(), u"a中\ufffdb");
    EXPECT_EQ(decoded.byte_offset(0), 0u);
    EXPECT_EQ(decoded.byte_offset(1), 1u);
    EXPECT_EQ(decoded.byte_offset(2), 3u);
    EXPECT_EQ(decoded.byte_offset(3), 4u);
    EXPECT_EQ(decoded.byte_offset(4), 5u);
    EXPECT_EQ(decoded.byte_offset(99), 5u);
    EXPECT_EQ(DecodedGbk("").byte_offset(0), 0u);
}

TEST(GbkRandomised, DecodingAgreesWithTheOffsetMapAndValidTextRoundTrips) {
    std::mt19937 random(936);
    for (int round = 0; round < 5000; ++round) {
        std::string bytes(random() % 40, ' ');
        for (char& c : bytes) c = static_cast<char>(random() % 256);
        const DecodedGbk decoded(bytes);
        ASSERT_EQ(decoded.utf16(), gbk_to_utf16(bytes));
        ASSERT_LE(decoded.utf16().size(), bytes.size());
        for (std::size_t unit = 1; unit <= decoded.utf16().size(); ++unit) {
            ASSERT_LT(decoded.byte_offset(unit - 1), decoded.byte_offset(unit));
        }
        const std::string reencoded = utf16_to_gbk(decoded.utf16());
        if (decoded.utf16().find(u'\ufffd') == std::u16string::npos) {
            ASSERT_EQ(reencoded, bytes);
        }
    }
}

TEST(DecodedGbk, OffsetsAgreeWithACharacterByCharacterWalkOnLongMixedText) {
    std::mt19937 random(64);
    static constexpr char kBytes[] = {'a',    '<',    '\xd6', '\xd0', '\xb2', '\x62',
                                      '\xff', '\x80', '\x81', '\x7f', '\0'};
    for (int round = 0; round < 20; ++round) {
        std::string bytes(500 + random() % 1500, ' ');
        for (char& c : bytes) c = kBytes[random() % sizeof kBytes];
        if (round % 2 == 0) bytes.replace(100, 0, std::string(300, 'x'));  // a long ASCII run
        const DecodedGbk decoded(bytes);
        std::size_t offset = 0;
        for (std::size_t unit = 0; unit < decoded.utf16().size(); ++unit) {
            ASSERT_EQ(decoded.byte_offset(unit), offset) << "unit " << unit;
            const bool pair =
                offset + 1 < bytes.size() && gbk_to_utf16(bytes.substr(offset, 2)).size() == 1;
            offset += pair ? 2 : 1;
        }
        ASSERT_EQ(offset, bytes.size());
        ASSERT_EQ(decoded.byte_offset(decoded.utf16().size()), bytes.size());
    }
}

TEST(Gb18030, EncodesEveryCharacterAndOnlyLoneSurrogatesBecomeQuestionMarks) {
    struct Case {
        std::u16string_view utf16;
        std::string_view gb18030;
    };
    const Case cases[] = {
        {u"", ""sv},
        {u"a\r\n", "a\r\n"sv},
        {u"\u4e2d", "\xd6\xd0"sv},                    // two bytes, as in GBK
        {u"\u20ac", "\xa2\xe3"sv},                    // the euro sign GBK has as 0x80
        {u"\U0001F600", "\x94\x39\xfc\x36"sv},        // outside the basic plane: four bytes
        {u"x\xd800y", "x?y"sv},                       // a lone high surrogate
        {u"\xdc00\u4e2d", "?\xd6\xd0"sv},             // a lone low surrogate
        {std::u16string_view(u"a\0b", 3), "a\0b"sv},  // NUL kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf16_to_gb18030(c.utf16), c.gb18030);
    }
    // GBK text goes through GB18030 unchanged, character for character.
    const std::string gbk = utf16_to_gbk(u"\u591c\u884c\u8bb0 abc");
    EXPECT_EQ(utf16_to_gb18030(gbk_to_utf16(gbk)), gbk);
}
