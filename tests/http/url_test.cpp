#include "http/url.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using namespace novel;

TEST(UrlHost, IsTheHostTheTransferWouldConnectTo) {
    EXPECT_EQ(url_host("https://www.example.com/7_7001/880002.html"), "www.example.com");
    EXPECT_EQ(url_host("https://www.example.com"), "www.example.com");
    EXPECT_EQ(url_host("https://www.example.com:8443/a?b#c"), "www.example.com");
    // What reads as the host in the text may be user information or a prefix.
    EXPECT_EQ(url_host("https://www.example.com@127.0.0.1:8080/x"), "127.0.0.1");
    EXPECT_EQ(url_host("https://www.example.com:pw@other.example/x"), "other.example");
    EXPECT_EQ(url_host("https://www.example.com.other.example/x"), "www.example.com.other.example");
    EXPECT_EQ(url_host("https://www.example.com\\@other.example/x"), "other.example");
    EXPECT_EQ(url_host("https://www.example.com%2eother/x"), "www.example.com.other");
    EXPECT_EQ(url_host("https://WWW.Example.COM/x"), "www.example.com");
    // Spaces and bytes above ASCII in the path leave the host readable.
    EXPECT_EQ(url_host("https://www.example.com/n.html\" target=\"_blank"), "www.example.com");
    EXPECT_EQ(url_host("https://www.example.com/\xCA\xE9.html"), "www.example.com");
}

TEST(UrlHost, NothingForAnAddressThatDoesNotParse) {
    EXPECT_EQ(url_host(""), std::nullopt);
    EXPECT_EQ(url_host("/7_7001/880002.html"), std::nullopt);
    EXPECT_EQ(url_host("https://www.example.com/a\rb"), std::nullopt);
    EXPECT_EQ(url_host("https://www.example.com:99999/"), std::nullopt);
    EXPECT_EQ(url_host("https://www.example.com\x81\x22/x"), std::nullopt);
    EXPECT_EQ(url_host("https://www.example.com/\0@other.example/"s), std::nullopt);
}

TEST(UrlOrigin, TellsSchemeHostAndPortTheWayTheTransferReadsThem) {
    const auto origin = [](std::string_view url) { return url_origin(url); };
    const UrlOrigin site{"https", "www.example.com", "443"};
    EXPECT_EQ(origin("https://www.example.com"), site);
    EXPECT_EQ(origin("HTTPS://WWW.example.com:443/1_2/3.html"), site);
    EXPECT_NE(origin("https://www.example.com:8443/1_2/3.html"), site) << "another port";
    EXPECT_NE(origin("http://www.example.com/1_2/3.html"), site) << "another scheme";
    EXPECT_NE(origin("https://www.example.com@127.0.0.1/x"), site) << "another host";
    EXPECT_EQ(origin("/1_2/3.html"), std::nullopt);
    EXPECT_EQ(origin("https://www.example.com/\0x"s), std::nullopt);
}
