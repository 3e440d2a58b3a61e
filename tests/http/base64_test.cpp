#include "http/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace std::string_view_literals;
using namespace novel;

namespace {

TEST(Base64Encode, Rfc4648TestVectors) {
    EXPECT_EQ(base64_encode(""), ""sv);
    EXPECT_EQ(base64_encode("f"), "Zg=="sv);
    EXPECT_EQ(base64_encode("fo"), "Zm8="sv);
    EXPECT_EQ(base64_encode("foo"), "Zm9v"sv);
    EXPECT_EQ(base64_encode("foob"), "Zm9vYg=="sv);
    EXPECT_EQ(base64_encode("fooba"), "Zm9vYmE="sv);
    EXPECT_EQ(base64_encode("foobar"), "Zm9vYmFy"sv);
}

TEST(Base64Encode, HighBytesAndNulAreOrdinaryBytes) {
    EXPECT_EQ(base64_encode("\0"sv), "AA=="sv);
    EXPECT_EQ(base64_encode("\0\0\0"sv), "AAAA"sv);
    EXPECT_EQ(base64_encode("\xff\xff\xff"sv), "////"sv);
    EXPECT_EQ(base64_encode("\xfb\xef\xbe"sv), "++++"sv);
    // GBK "用户:密码" as a proxy credential would carry it.
    EXPECT_EQ(base64_encode("\xd3\xc3\xbb\xa7:\xc3\xdc\xc2\xeb"sv), "08O7pzrD3MLr"sv);
    EXPECT_EQ(base64_encode("user:pass"), "dXNlcjpwYXNz"sv);
}

// Decodes with a table built independently of the encoder's alphabet order.
std::string decode(std::string_view text) {
    auto value = [](char c) -> unsigned {
        if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
        if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 26);
        if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 52);
        return c == '+' ? 62U : 63U;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 4 <= text.size(); i += 4) {
        unsigned group = 0;
        int padding = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            group = (group << 6U) | (c == '=' ? 0U : value(c));
            padding += c == '=' ? 1 : 0;
        }
        bytes += static_cast<char>((group >> 16U) & 0xFFU);
        if (padding < 2) bytes += static_cast<char>((group >> 8U) & 0xFFU);
        if (padding < 1) bytes += static_cast<char>(group & 0xFFU);
    }
    return bytes;
}

TEST(Base64Encode, RandomBytesRoundTripWithExactShape) {
    std::mt19937 random(4648);
    std::uniform_int_distribution<int> length(0, 64);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : bytes) c = static_cast<char>(byte(random));
        const std::string text = base64_encode(bytes);
        ASSERT_EQ(text.size(), (bytes.size() + 2) / 3 * 4);
        const std::size_t padding = (3 - bytes.size() % 3) % 3;
        EXPECT_EQ(text.find('='), padding == 0 ? std::string::npos : text.size() - padding);
        EXPECT_EQ(text.find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        EXPECT_EQ(decode(text), bytes);
    }
}

}  // namespace
