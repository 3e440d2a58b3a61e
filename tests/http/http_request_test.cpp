#include "http/http_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

#include "http/base64.h"
#include "http/request_object.h"
#include "tests/support/recording_server.h"

using namespace std::string_literals;
using namespace std::string_view_literals;
using namespace novel;
using namespace novel::testing;
using Scheme = RecordingServer::Scheme;
using Action = ScriptedReply::Action;

namespace {

constexpr std::string_view kUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string host_line(const RecordingServer& server) {
    return "Host: 127.0.0.1:" + std::to_string(server.port());
}

RecordedRequest only_request(const RecordingServer& server) {
    const auto requests = server.requests();
    EXPECT_EQ(requests.size(), 1U);
    return requests.empty() ? RecordedRequest{} : requests.front();
}

TEST(HttpRequest, UrlAloneSendsTheFixedHeadersInOrder) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        return ScriptedReply{.body = "<html>\0\xd5\xc2\xbd\xda</html>"s};
    });
    const std::string url = server.url("/1/2.html");
    EXPECT_EQ(http_request(url), "<html>\0\xd5\xc2\xbd\xda</html>"sv);

    const RecordedRequest request = only_request(server);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/1/2.html");
    const std::vector<std::string> expected = {host_line(server), "Accept: */*", "Referer: " + url,
                                               "Accept-Language: zh-cn", std::string(kUserAgent)};
    EXPECT_EQ(request.header_lines, expected);
    EXPECT_EQ(request.body, "");
}

TEST(HttpRequest, UrlAloneSetsTheObjectLikeTheOriginal) {
    RecordingServer server;
    HttpRequestObject object;
    (void)http_request(server.url("/"), {.request_object = &object});
    EXPECT_EQ(object.timeouts(), (HttpTimeouts{15000, 15000, 15000, 15000}));
    EXPECT_EQ(object.proxy_server(), "");
    EXPECT_FALSE(object.option(kOptionEnableRedirects).has_value());
    EXPECT_EQ(object.option(kOptionSslErrorIgnoreFlags), 0x3300);
}

TEST(HttpRequest, WithoutAUsableObjectNothingIsWrittenOrSent) {
    RecordingServer server;
    HttpRequestObject spent;
    const HttpRequestObject taker = std::move(spent);  // leaves spent without a handle
    std::string cookies = "c=1";
    std::string returned_cookies = "r";
    std::string headers = "X-A: 1";
    std::string returned_headers = "h";
    std::int32_t status = 7;
    EXPECT_EQ(http_request(server.url("/"), {.cookies = &cookies,
                                             .returned_cookies = &returned_cookies,
                                             .headers = &headers,
                                             .returned_headers = &returned_headers,
                                             .status = &status,
                                             .request_object = &spent}),
              "");
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(returned_cookies, "r");
    EXPECT_EQ(headers, "X-A: 1");
    EXPECT_EQ(returned_headers, "h");
    EXPECT_EQ(status, 7);
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpRequestHeaders, CompletedBlockIsWrittenBackAndSentInOrder) {
    RecordingServer server;
    const std::string url = server.url("/form");
    std::string headers = "X-A: 1";
    (void)http_request(url, {.method = 1, .headers = &headers});
    const std::string completed = "X-A: 1\r\nAccept: */*\r\nReferer: " + url +
                                  "\r\nAccept-Language: zh-cn\r\n" + std::string(kUserAgent) +
                                  "\r\nContent-Type: application/x-www-form-urlencoded";
    EXPECT_EQ(headers, completed);

    const RecordedRequest request = only_request(server);
    EXPECT_EQ(request.method, "POST");
    const std::vector<std::string> expected = {host_line(server),
                                               "X-A: 1",
                                               "Accept: */*",
                                               "Referer: " + url,
                                               "Accept-Language: zh-cn",
                                               std::string(kUserAgent),
                                               "Content-Type: application/x-www-form-urlencoded",
                                               "Content-Length: 0"};
    EXPECT_EQ(request.header_lines, expected);

    // The same variable again: everything is found, nothing is appended.
    (void)http_request(server.url("/other"), {.method = 1, .headers = &headers});
    EXPECT_EQ(headers, completed);
    EXPECT_EQ(server.requests().at(1).header("Referer"), url);
}

TEST(HttpRequestHeaders, DetectionIsCaseSensitiveAndBySubstring) {
    RecordingServer server;
    std::string lower = "accept: text/html";
    (void)http_request(server.url("/"), {.headers = &lower});
    EXPECT_TRUE(lower.starts_with("accept: text/html\r\nAccept: */*\r\nReferer: "));

    std::string contains = "X-Accept: 1\r\nreferer: x";
    (void)http_request(server.url("/"), {.headers = &contains});
    EXPECT_TRUE(contains.starts_with("X-Accept: 1\r\nreferer: x\r\nReferer: "));
    EXPECT_EQ(contains.find("\r\nAccept: */*"), std::string::npos);

    std::string empty_lines = "\r\nX-B: 2\r\n\r\nno colon\r\n";
    (void)http_request(server.url("/"), {.headers = &empty_lines});

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0].header_lines.at(1), "accept: text/html");
    EXPECT_EQ(requests[0].header_lines.at(2), "Accept: */*");
    EXPECT_FALSE(requests[1].has_header("Accept"));
    EXPECT_EQ(requests[2].header_lines.at(1), "X-B: 2");
    EXPECT_EQ(requests[2].header_lines.at(2), "Accept: */*");  // blank and nameless lines skipped
}

TEST(HttpRequestHeaders, GbkTextsKeepTheirBytes) {
    RecordingServer server;
    const std::string url = server.url("/\xd6\xd0.html");
    std::string headers = "X-Name: \xd6\xd0\xce\xc4";
    EXPECT_EQ(http_request(url, {.headers = &headers}), "ok");
    const RecordedRequest request = only_request(server);
    EXPECT_EQ(request.header("X-Name"), "\xd6\xd0\xce\xc4"sv);
    EXPECT_EQ(request.header("Referer"), url);
    // The request line cannot carry raw high bytes: each byte is escaped as it is.
    std::string target = request.target;
    for (char& c : target) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(target, "/%d6%d0.html");
}

TEST(HttpRequestMethods, TableIndexAndOutOfRangeMeansGet) {
    RecordingServer server;
    const std::pair<int, std::string_view> cases[] = {
        {0, "GET"},    {1, "POST"},  {2, "HEAD"},    {3, "PUT"}, {4, "OPTIONS"},
        {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}, {-1, "GET"}};
    for (const auto& [method, text] : cases) {
        (void)http_request(server.url("/"), {.method = method, .post_text = "t"});
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(requests[i].method, cases[i].second) << cases[i].first;
        EXPECT_EQ(requests[i].has_header("Content-Type"), cases[i].first == 1) << cases[i].first;
    }
    EXPECT_EQ(requests[3].body, "t");  // PUT with a text body
}

TEST(HttpRequestBody, BytesBeatText) {
    RecordingServer server;
    (void)http_request(server.url("/"),
                       {.method = 1, .post_text = "text", .post_bytes = "\0\x01\xff"sv});
    (void)http_request(server.url("/"), {.method = 1, .post_text = "a=\xd6\xd0"});
    const auto requests = server.requests();
    EXPECT_EQ(requests.at(0).body, "\0\x01\xff"sv);
    EXPECT_EQ(requests.at(1).body, "a=\xd6\xd0"sv);
}

TEST(HttpRequestTimeouts, ValuesHandedToTheObject) {
    RecordingServer server;
    HttpRequestObject object;
    object.set_timeouts(1, 2, 3, 4);
    (void)http_request(server.url("/"), {.timeout = -1, .request_object = &object});
    EXPECT_EQ(object.timeout_settings_count(), 1);
    EXPECT_EQ(object.timeouts(), (HttpTimeouts{1, 2, 3, 4}));

    const std::pair<int, int> cases[] = {
        {0, 15000},
        {-5, 15000},
        {30, 30000},
        {1, 1000},
        {std::numeric_limits<int>::max(), std::numeric_limits<int>::max()}};
    for (const auto& [timeout, ms] : cases) {
        (void)http_request(server.url("/"), {.timeout = timeout, .request_object = &object});
        EXPECT_EQ(object.timeouts(), (HttpTimeouts{ms, ms, ms, ms})) << timeout;
    }
    EXPECT_EQ(server.requests().size(), 1U + std::size(cases));  // the object stayed usable
}

TEST(HttpRequestTimeouts, AStalledServerIsGivenUpOnAfterTheTimeout) {
    RecordingServer server;
    server.set_script(
        [](const RecordedRequest&) { return ScriptedReply{.action = Action::kNeverAnswer}; });
    std::string returned_headers = "stale";
    std::int32_t status = 7;
    const auto start = std::chrono::steady_clock::now();
    const ByteData body = http_request(
        server.url("/"), {.returned_headers = &returned_headers, .status = &status, .timeout = 1});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(body, "");
    EXPECT_EQ(returned_headers, "");
    EXPECT_EQ(status, 0);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::seconds(4));
}

TEST(HttpRequestTimeouts, ASlowButSteadyBodyIsNotCutOff) {
    RecordingServer server;
    const std::string page(8000, 'p');
    server.set_script([&page](const RecordedRequest&) {
        return ScriptedReply{.body = page, .action = Action::kTrickle};
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(http_request(server.url("/"), {.timeout = 1}), page);
    // The whole exchange took longer than the time-out: it limits stalls, not transfers.
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(HttpRequestProxy, NamedProxyWithAndWithoutCredentials) {
    RecordingServer proxy;
    RecordingServer site;
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
    const std::string target = site.url("/via");

    (void)http_request(
        target,
        {.proxy = proxy_address, .proxy_user = "\xd3\xc3\xbb\xa7", .proxy_password = "p:w"});
    (void)http_request(target, {.proxy = proxy_address, .proxy_user = "u", .proxy_auth_mode = 0});
    (void)http_request(target, {.proxy = proxy_address, .proxy_password = "only"});
    (void)http_request(target, {.proxy_user = "u", .proxy_password = "p"});

    const auto through_proxy = proxy.requests();
    ASSERT_EQ(through_proxy.size(), 3U);
    for (const RecordedRequest& request : through_proxy) EXPECT_EQ(request.target, target);
    EXPECT_EQ(through_proxy[0].header("Proxy-Authorization"),
              "Basic " + base64_encode("\xd3\xc3\xbb\xa7:p:w"));
    EXPECT_FALSE(through_proxy[1].has_header("Proxy-Authorization"));
    EXPECT_FALSE(through_proxy[2].has_header("Proxy-Authorization"));

    const RecordedRequest direct = only_request(site);
    EXPECT_EQ(direct.target, "/via");
    EXPECT_FALSE(direct.has_header("Proxy-Authorization"));
}

TEST(HttpRequestProxy, AnEmptyProxyLeavesTheObjectsSettingAlone) {
    RecordingServer proxy;
    HttpRequestObject object;
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
    (void)http_request("http://127.0.0.1:1/a", {.proxy = proxy_address, .request_object = &object});
    (void)http_request("http://127.0.0.1:1/b", {.request_object = &object});
    EXPECT_EQ(object.proxy_server(), proxy_address);
    EXPECT_EQ(proxy.requests().size(), 2U);
}

ScriptedReply cookie_reply(std::vector<std::string> set_cookies) {
    ScriptedReply reply{.body = "c"};
    for (std::string& line : set_cookies) reply.headers.emplace_back("set-cookie", std::move(line));
    return reply;
}

TEST(HttpRequestCookies, SetCookieLinesAreNormalisedAndCollected) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        ScriptedReply reply{.headers = {{"set-cookie", "a=1; path=/"}, {"SET-COOKIE", "b=2"}}};
        return reply;
    });
    std::string returned_headers;
    std::string returned_cookies = "stale";
    std::int32_t status = 0;
    (void)http_request(server.url("/"), {.returned_cookies = &returned_cookies,
                                         .returned_headers = &returned_headers,
                                         .status = &status});
    EXPECT_NE(returned_headers.find("Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"),
              std::string::npos)
        << returned_headers;
    EXPECT_EQ(returned_cookies, "a=1; b=2");
    EXPECT_EQ(status, 200);

    server.set_script([](const RecordedRequest&) { return ScriptedReply{}; });
    (void)http_request(server.url("/"), {.returned_cookies = &returned_cookies});
    EXPECT_EQ(returned_cookies, "");
}

TEST(HttpRequestCookies, WithoutCookiesNothingIsMergedOrSent) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        return cookie_reply({"x=1; path=/", "gone=deleted; expires=Thu, 01 Jan 1970", "x=1"});
    });
    std::string returned_cookies;
    (void)http_request(server.url("/"), {.returned_cookies = &returned_cookies});
    EXPECT_EQ(returned_cookies, "x=1; gone=deleted; x=1");

    std::string cookies;  // given, though empty: the merge runs
    (void)http_request(server.url("/"),
                       {.cookies = &cookies, .returned_cookies = &returned_cookies});
    EXPECT_EQ(returned_cookies, "x=1");
    EXPECT_EQ(cookies, "x=1");
    for (const RecordedRequest& request : server.requests()) {
        EXPECT_FALSE(request.has_header("Cookie"));
    }
}

TEST(HttpRequestCookies, RunningCookieTextAcrossCalls) {
    RecordingServer server;
    server.set_script([](const RecordedRequest& request) {
        if (request.target == "/login") return cookie_reply({"sid=deleted", "b=2; path=/"});
        return ScriptedReply{};
    });
    std::string cookies = "a=1; sid=x";
    std::string returned_cookies;
    (void)http_request(server.url("/login"),
                       {.cookies = &cookies, .returned_cookies = &returned_cookies});
    EXPECT_EQ(cookies, "b=2; a=1");
    EXPECT_EQ(returned_cookies, "b=2; a=1");

    (void)http_request(server.url("/next"),
                       {.cookies = &cookies, .returned_cookies = &returned_cookies});
    EXPECT_EQ(cookies, "b=2; a=1");  // a response that sets nothing keeps the text
    EXPECT_EQ(returned_cookies, "b=2; a=1");

    std::string kept = "k=1";
    (void)http_request(
        server.url("/login"),
        {.cookies = &kept, .returned_cookies = &returned_cookies, .auto_merge_cookies = false});
    EXPECT_EQ(kept, "k=1");
    EXPECT_EQ(returned_cookies, "sid=deleted; b=2");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0].header("Cookie"), "a=1; sid=x");
    EXPECT_EQ(requests[1].header("Cookie"), "b=2; a=1");
    EXPECT_EQ(requests[2].header("Cookie"), "k=1");
    EXPECT_EQ(requests[0].header_lines.at(1), "Cookie: a=1; sid=x");  // set before the block
}

TEST(HttpRequestRedirects, FollowedByDefaultAndNotWhenAsked) {
    RecordingServer server;
    server.set_script([](const RecordedRequest& request) {
        if (request.target == "/moved") {
            return ScriptedReply{.status = 302, .headers = {{"Location", "/here"}}, .body = "m"};
        }
        return ScriptedReply{.body = "here"};
    });
    std::int32_t status = 0;
    EXPECT_EQ(http_request(server.url("/moved"), {.status = &status}), "here");
    EXPECT_EQ(status, 200);
    ASSERT_EQ(server.requests().size(), 2U);
    EXPECT_EQ(server.requests()[1].method, "GET");
    EXPECT_EQ(server.requests()[1].target, "/here");

    std::string returned_headers;
    EXPECT_EQ(http_request(
                  server.url("/moved"),
                  {.returned_headers = &returned_headers, .status = &status, .no_redirect = true}),
              "m");
    EXPECT_EQ(status, 302);
    EXPECT_NE(returned_headers.find("Location: /here\r\n"), std::string::npos);
    EXPECT_EQ(server.requests().size(), 3U);
}

TEST(HttpRequestSafety, SelfSignedAcceptedButFileAddressesRefused) {
    RecordingServer server(Scheme::kHttps);
    std::int32_t status = 0;
    EXPECT_EQ(http_request(server.url("/tls"), {.status = &status}), "ok");
    EXPECT_EQ(status, 200);
    EXPECT_EQ(only_request(server).target, "/tls");

    std::string headers;
    status = 5;
    EXPECT_EQ(http_request("file:///etc/hostname", {.headers = &headers, .status = &status}), "");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(headers.starts_with("Accept: */*\r\nReferer: file:///etc/hostname"));

    server.set_script([](const RecordedRequest&) {
        return ScriptedReply{.status = 301, .headers = {{"Location", "file:///etc/hostname"}}};
    });
    EXPECT_EQ(http_request(server.url("/"), {.status = &status}), "");
    EXPECT_EQ(status, 0);
}

TEST(HttpRequestFailures, ResetAndRefusedGiveEmptyResults) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        return ScriptedReply{.headers = {{"Set-Cookie", "a=1"}},
                             .body = std::string(50000, 'z'),
                             .action = Action::kResetMidBody};
    });
    for (const std::string& url :
         {server.url("/"), "http://127.0.0.1:" + std::to_string(unused_port()) + "/"}) {
        std::string cookies = "keep=1";
        std::string returned_cookies = "stale";
        std::string returned_headers = "stale";
        std::int32_t status = 9;
        EXPECT_EQ(http_request(url, {.cookies = &cookies,
                                     .returned_cookies = &returned_cookies,
                                     .returned_headers = &returned_headers,
                                     .status = &status}),
                  "");
        EXPECT_EQ(returned_headers, "");
        EXPECT_EQ(status, 0);
        EXPECT_EQ(cookies, "keep=1");
        EXPECT_EQ(returned_cookies, "keep=1");  // nothing collected, merged with what was sent
    }
}

TEST(HttpRequestConnections, CallsReuseOneConnectionAndAGivenObjectStaysUsable) {
    RecordingServer server(Scheme::kHttps);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(http_request(server.url("/")), "ok");
    HttpRequestObject object;
    EXPECT_EQ(http_request(server.url("/"), {.request_object = &object}), "ok");
    EXPECT_EQ(http_request(server.url("/"), {.request_object = &object}), "ok");
    EXPECT_EQ(server.connections_accepted(), 1);
    EXPECT_EQ(server.requests().size(), 5U);
}

}  // namespace
