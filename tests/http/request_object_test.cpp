#include "http/request_object.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/recording_server.h"

using namespace std::string_literals;
using namespace std::string_view_literals;
using namespace novel;
using namespace novel::testing;
using Scheme = RecordingServer::Scheme;
using Action = ScriptedReply::Action;

namespace {

struct Exchange {
    ByteData body;
    std::string headers;
    std::int32_t status = 0;
};

Exchange get(HttpRequestObject& object, const std::string& url, std::string_view method = "GET",
             std::string_view body = {}) {
    object.open(method, url);
    object.send(body);
    return {object.response_body(), object.all_response_headers(), object.status()};
}

Exchange get(const std::string& url) {
    HttpRequestObject object;
    return get(object, url);
}

void expect_failed(const Exchange& exchange) {
    EXPECT_EQ(exchange.body, ""sv);
    EXPECT_EQ(exchange.headers, ""sv);
    EXPECT_EQ(exchange.status, 0);
}

TEST(RequestObject, SendsOnlyTheHeadersItWasGivenInOrder) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        return ScriptedReply{.status = 201, .headers = {{"X-One", "1"}}, .body = "a\0b\r\n"s};
    });
    HttpRequestObject object;
    object.set_request_header("X-First", "1");
    object.set_request_header("Accept", "text/html");
    object.set_request_header("X-Empty", "");
    object.set_request_header("", "dropped: a line without a name");
    object.set_request_header("X-Split", "a\r\nInjected: 1");
    const Exchange exchange = get(object, server.url("/p?q=1"));

    EXPECT_EQ(exchange.body, "a\0b\r\n"sv);
    EXPECT_EQ(exchange.status, 201);
    ASSERT_EQ(server.requests().size(), 1U);
    const RecordedRequest request = server.requests()[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/p?q=1");
    const std::vector<std::string> expected = {"Host: 127.0.0.1:" + std::to_string(server.port()),
                                               "X-First: 1", "Accept: text/html", "X-Empty:"};
    EXPECT_EQ(request.header_lines, expected);
    EXPECT_EQ(request.body, "");
}

TEST(RequestObject, ResponseHeadersHaveNoStatusLineAndEndWithAnEmptyLine) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        return ScriptedReply{.headers = {{"X-Two", "2"}}, .body = "12345"};
    });
    const Exchange exchange = get(server.url("/"));
    EXPECT_EQ(exchange.headers.find("HTTP/"), std::string::npos);
    EXPECT_NE(exchange.headers.find("X-Two: 2\r\n"), std::string::npos);
    EXPECT_NE(exchange.headers.find("Content-Length: 5\r\n"), std::string::npos);
    EXPECT_TRUE(exchange.headers.ends_with("\r\n\r\n"));
    EXPECT_EQ(exchange.headers.find("\r\n\r\n"), exchange.headers.size() - 4);
}

TEST(RequestObject, MethodsAndBodiesGoOutAsGiven) {
    RecordingServer server;
    HttpRequestObject object;
    EXPECT_EQ(get(object, server.url("/"), "PUT", "\xd6\xd0\0x"sv).status, 200);
    EXPECT_EQ(get(object, server.url("/"), "HEAD").status, 200);
    EXPECT_EQ(get(object, server.url("/"), "POST").status, 200);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0].method, "PUT");
    EXPECT_EQ(requests[0].body, "\xd6\xd0\0x"sv);
    EXPECT_FALSE(requests[0].has_header("Content-Type"));  // nothing added behind our back
    EXPECT_FALSE(requests[0].has_header("Expect"));
    EXPECT_EQ(requests[1].method, "HEAD");
    EXPECT_EQ(requests[2].method, "POST");
    EXPECT_EQ(requests[2].header("Content-Length"), "0");
}

TEST(RequestObject, BodyIsNotDecodedAndNoEncodingIsOffered) {
    RecordingServer server;
    const std::string not_really_gzip = "\x1f\x8b raw bytes\0"s;
    server.set_script([&](const RecordedRequest&) {
        return ScriptedReply{.headers = {{"Content-Encoding", "gzip"}}, .body = not_really_gzip};
    });
    HttpRequestObject object;
    EXPECT_EQ(get(object, server.url("/")).body, not_really_gzip);
    object.set_request_header("Accept-Encoding", "gzip");
    EXPECT_EQ(get(object, server.url("/")).body, not_really_gzip);
    const auto requests = server.requests();
    EXPECT_FALSE(requests[0].has_header("Accept-Encoding"));
    EXPECT_EQ(requests[1].header("Accept-Encoding"), "gzip");
}

TEST(RequestObject, HeadersAreForOneExchangeOnly) {
    RecordingServer server;
    HttpRequestObject object;
    object.set_request_header("X-Once", "1");  // before open, as a proxy credential is
    (void)get(object, server.url("/"));
    (void)get(object, server.url("/"));
    EXPECT_EQ(server.requests()[0].header("X-Once"), "1");
    EXPECT_FALSE(server.requests()[1].has_header("X-Once"));
}

TEST(RequestObject, ReportsWhatItWasSet) {
    HttpRequestObject object;
    EXPECT_EQ(object.timeout_settings_count(), 0);
    EXPECT_FALSE(object.option(kOptionEnableRedirects).has_value());
    object.set_timeouts(1, 2, 3, 4);
    object.set_option(kOptionEnableRedirects, 0);
    object.set_proxy(kProxySettingNamed, "127.0.0.1:9");
    EXPECT_EQ(object.timeouts(), (HttpTimeouts{1, 2, 3, 4}));
    EXPECT_EQ(object.timeout_settings_count(), 1);
    EXPECT_EQ(object.option(kOptionEnableRedirects), 0);
    EXPECT_EQ(object.proxy_server(), "127.0.0.1:9");

    HttpRequestObject moved = std::move(object);
    EXPECT_EQ(moved.timeouts(), (HttpTimeouts{1, 2, 3, 4}));
    EXPECT_TRUE(moved.valid());
}

TEST(RequestObjectRedirects, FollowedUpToTenByDefaultAndOffWithOptionSix) {
    RecordingServer server;
    server.set_script([&](const RecordedRequest& request) {
        const int left = request.target.size() > 3 ? std::stoi(request.target.substr(3)) : 0;
        if (left == 0) return ScriptedReply{.headers = {{"X-Final", "yes"}}, .body = "final"};
        return ScriptedReply{.status = 302,
                             .headers = {{"Location", "/r/" + std::to_string(left - 1)},
                                         {"X-Hop", std::to_string(left)}},
                             .body = "hop"};
    });
    const Exchange followed = get(server.url("/r/10"));
    EXPECT_EQ(followed.status, 200);
    EXPECT_EQ(followed.body, "final");
    EXPECT_NE(followed.headers.find("X-Final: yes\r\n"), std::string::npos);
    EXPECT_EQ(followed.headers.find("X-Hop"), std::string::npos);  // the final response only
    EXPECT_EQ(server.requests().size(), 11U);

    expect_failed(get(server.url("/r/11")));

    HttpRequestObject object;
    object.set_option(kOptionEnableRedirects, 0);
    const Exchange stopped = get(object, server.url("/r/3"));
    EXPECT_EQ(stopped.status, 302);
    EXPECT_EQ(stopped.body, "hop");
    EXPECT_NE(stopped.headers.find("Location: /r/2\r\n"), std::string::npos);
}

TEST(RequestObjectSafety, OnlyHttpAndHttpsAreFetched) {
    expect_failed(get("file:///etc/hostname"));
    expect_failed(get("ftp://127.0.0.1:" + std::to_string(unused_port()) + "/"));
    expect_failed(get("gopher://127.0.0.1:" + std::to_string(unused_port()) + "/"));
    expect_failed(get("not an address"));

    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        return ScriptedReply{.status = 302, .headers = {{"Location", "file:///etc/hostname"}}};
    });
    expect_failed(get(server.url("/")));
}

TEST(RequestObjectSafety, AnOversizedBodyEndsTheExchange) {
    RecordingServer server;
    server.set_script([](const RecordedRequest& request) {
        return ScriptedReply{.body = std::string(request.target == "/big" ? 5000 : 1000, 'x')};
    });
    HttpRequestObject object;
    object.set_body_limit(1000);
    EXPECT_EQ(get(object, server.url("/small")).body.size(), 1000U);
    expect_failed(get(object, server.url("/big")));
    EXPECT_EQ(kMaxResponseBody, 256U * 1024 * 1024);
}

TEST(RequestObjectSafety, ABodyWithoutALengthIsCappedAsItArrives) {
    RecordingServer server;
    server.set_script([](const RecordedRequest& request) {
        return ScriptedReply{.body = std::string(request.target == "/big" ? 1001 : 1000, 'x'),
                             .action = Action::kCloseDelimited};
    });
    HttpRequestObject object;
    object.set_body_limit(1000);
    EXPECT_EQ(get(object, server.url("/exact")).body, std::string(1000, 'x'));
    expect_failed(get(object, server.url("/big")));
}

TEST(RequestObjectSafety, OversizedResponseHeadersEndTheExchange) {
    // Header lines of 1000 bytes, in all a little under or over the limit.
    const auto padding = [](std::size_t total) {
        std::vector<std::pair<std::string, std::string>> lines;
        for (std::size_t kept = 0; kept + 1000 <= total; kept += 1000) {
            const std::string name = "X-Pad-" + std::to_string(lines.size() + 1000);
            lines.emplace_back(name, std::string(1000 - name.size() - 4, 'h'));
        }
        return lines;
    };
    RecordingServer server;
    server.set_script([&](const RecordedRequest& request) {
        const std::size_t total =
            request.target == "/over" ? kMaxResponseHeaders + 4000 : kMaxResponseHeaders - 4000;
        return ScriptedReply{.headers = padding(total), .body = "ok"};
    });
    const Exchange under = get(server.url("/under"));
    EXPECT_EQ(under.body, "ok");
    EXPECT_GT(under.headers.size(), kMaxResponseHeaders - 5000);
    expect_failed(get(server.url("/over")));
}

TEST(RequestObjectCertificates, SelfSignedIsRefusedUnlessAllFourKindsAreIgnored) {
    RecordingServer server(Scheme::kHttps);
    expect_failed(get(server.url("/")));

    HttpRequestObject partly;
    partly.set_option(kOptionSslErrorIgnoreFlags, kIgnoreInvalidCommonName);
    expect_failed(get(partly, server.url("/")));

    HttpRequestObject tolerant;
    tolerant.set_option(kOptionSslErrorIgnoreFlags, 0x3300);
    const Exchange exchange = get(tolerant, server.url("/secure"));
    EXPECT_EQ(exchange.status, 200);
    EXPECT_EQ(exchange.body, "ok");
    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(server.requests()[0].target, "/secure");
}

TEST(RequestObjectFailures, RefusedResetAndStalledExchangesComeBackEmpty) {
    expect_failed(get("http://127.0.0.1:" + std::to_string(unused_port()) + "/"));

    RecordingServer server;
    server.set_script([](const RecordedRequest& request) {
        if (request.target == "/stall") return ScriptedReply{.action = Action::kNeverAnswer};
        return ScriptedReply{.body = std::string(100000, 'y'), .action = Action::kResetMidBody};
    });
    expect_failed(get(server.url("/reset")));

    HttpRequestObject object;
    object.set_timeouts(1000, 1000, 1000, 1000);
    const auto start = std::chrono::steady_clock::now();
    expect_failed(get(object, server.url("/stall")));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::seconds(4));
}

TEST(RequestObjectFailures, HeaderLinesArrivingSteadilyAreNoStall) {
    RecordingServer server;
    server.set_script([](const RecordedRequest&) {
        std::vector<std::pair<std::string, std::string>> lines;
        for (int i = 1; i <= 8; ++i) lines.emplace_back("X-Line-" + std::to_string(i), "v");
        return ScriptedReply{.headers = lines, .body = "whole", .action = Action::kTrickleHead};
    });
    HttpRequestObject object;
    object.set_timeouts(1000, 1000, 1000, 1000);
    const auto start = std::chrono::steady_clock::now();
    const Exchange exchange = get(object, server.url("/"));
    EXPECT_EQ(exchange.status, 200);
    EXPECT_EQ(exchange.body, "whole");
    EXPECT_NE(exchange.headers.find("X-Line-8: v\r\n"), std::string::npos);
    // The head alone took longer than the limit: it limits stalls, not heads.
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(RequestObjectConnections, ObjectsShareOnePoolUnlessAskedForFreshOnes) {
    for (const Scheme scheme : {Scheme::kHttp, Scheme::kHttps}) {
        RecordingServer server(scheme);
        for (int i = 0; i < 3; ++i) {
            HttpRequestObject object;  // a new object per exchange, as http_request makes
            object.set_option(kOptionSslErrorIgnoreFlags, 0x3300);
            EXPECT_EQ(get(object, server.url("/")).status, 200);
        }
        EXPECT_EQ(server.connections_accepted(), 1);

        HttpRequestObject fresh;
        fresh.set_option(kOptionSslErrorIgnoreFlags, 0x3300);
        fresh.set_fresh_connection_per_request(true);
        EXPECT_EQ(get(fresh, server.url("/")).status, 200);
        EXPECT_EQ(get(fresh, server.url("/")).status, 200);
        EXPECT_EQ(server.connections_accepted(), 3);
    }
}

TEST(RequestObjectProxy, CredentialsReachTheProxyButNeverTheSite) {
    RecordingServer proxy;
    HttpRequestObject object;
    object.set_proxy(kProxySettingNamed, "127.0.0.1:" + std::to_string(proxy.port()));
    object.set_request_header("Proxy-Authorization", "Basic dTpw");
    EXPECT_EQ(get(object, "http://127.0.0.1:1/plain").body, "ok");

    object.set_request_header("Proxy-Authorization", "Basic dTpw");
    (void)get(object, "https://127.0.0.1:2/tunnelled");
    const auto requests = proxy.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].target, "http://127.0.0.1:1/plain");
    EXPECT_EQ(requests[0].header("Proxy-Authorization"), "Basic dTpw");
    EXPECT_EQ(requests[1].method, "CONNECT");
    EXPECT_EQ(requests[1].target, "127.0.0.1:2");
    EXPECT_EQ(requests[1].header("Proxy-Authorization"), "Basic dTpw");

    RecordingServer site;
    HttpRequestObject direct;
    direct.set_request_header("Proxy-Authorization", "Basic dTpw");
    (void)get(direct, site.url("/"));
    EXPECT_FALSE(site.requests().at(0).has_header("Proxy-Authorization"));
}

}  // namespace

namespace {

TEST(RequestObjectProxy, ARedirectIntoATunnelTakesNoCredentialsToTheSite) {
    RecordingServer site(Scheme::kHttps);
    RecordingServer proxy;
    proxy.set_script([&site](const RecordedRequest& request) {
        if (request.method == "CONNECT") return ScriptedReply{.action = Action::kTunnel};
        return ScriptedReply{.status = 302, .headers = {{"Location", site.url("/secure")}}};
    });
    HttpRequestObject object;
    object.set_proxy(kProxySettingNamed, "127.0.0.1:" + std::to_string(proxy.port()));
    object.set_option(kOptionSslErrorIgnoreFlags, 0x3300);
    object.set_request_header("Proxy-Authorization", "Basic dTpw");
    object.set_request_header("X-Site", "1");
    const Exchange exchange = get(object, "http://127.0.0.1:1/plain");
    EXPECT_EQ(exchange.status, 200);
    EXPECT_EQ(exchange.body, "ok");

    const auto to_proxy = proxy.requests();
    ASSERT_EQ(to_proxy.size(), 2U);
    EXPECT_EQ(to_proxy[0].header("Proxy-Authorization"), "Basic dTpw");
    EXPECT_EQ(to_proxy[1].method, "CONNECT");
    EXPECT_EQ(to_proxy[1].target, "127.0.0.1:" + std::to_string(site.port()));
    EXPECT_EQ(to_proxy[1].header("Proxy-Authorization"), "Basic dTpw");
    const auto to_site = site.requests();
    ASSERT_EQ(to_site.size(), 1U);
    EXPECT_EQ(to_site[0].target, "/secure");
    EXPECT_EQ(to_site[0].header("X-Site"), "1");
    EXPECT_FALSE(to_site[0].has_header("Proxy-Authorization"));
}

}  // namespace
