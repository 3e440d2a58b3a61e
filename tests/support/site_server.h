#pragma once
// Serves a map of pages over HTTPS on 127.0.0.1 with a self-signed
// certificate made when the server starts, and remembers what was asked.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fixture_site.h"

namespace novel::fixture {

// How the server answers one request, decided by a test.
struct SiteAnswer {
    std::chrono::milliseconds delay{0};  // before anything is sent
    int status = 0;                      // 0: the page (or 404) as usual
    std::string body;                    // with a status of its own
    std::vector<std::pair<std::string, std::string>> headers;
    bool hang_up = false;  // after the delay, send the head and close before the body
};

struct SiteServerOptions {
    int port = 0;  // 0: the system chooses
    // Off: every response says "Connection: close", so stopping never waits
    // for an idle kept-alive connection (which can take five seconds).
    bool keep_alive = false;
    // Called with each request target as it arrives, on a server thread.
    std::function<void(const std::string&)> on_request;
    // Called with each request target, on a server thread; unset: the page.
    std::function<SiteAnswer(const std::string&)> answer;
};

// As a busy site answers: every page after page_delay, but a missing page's
// 404 at once (the error path is cheap). Fetching ahead must not turn the
// fast misses into a flood of requests.
[[nodiscard]] std::function<SiteAnswer(const std::string&)> slow_pages_instant_misses(
    const SitePages& pages, std::chrono::milliseconds page_delay);

class FixtureSiteServer {
public:
    // Listening once constructed; check listening() before use.
    explicit FixtureSiteServer(SitePages pages, SiteServerOptions options = {});
    ~FixtureSiteServer();
    // The server threads hold this object: it neither copies nor moves.
    FixtureSiteServer(const FixtureSiteServer&) = delete;
    FixtureSiteServer& operator=(const FixtureSiteServer&) = delete;

    [[nodiscard]] bool listening() const;
    [[nodiscard]] int port() const;
    // "https://127.0.0.1:<port>"
    [[nodiscard]] std::string origin() const;

    // Request targets (path and query) in the order they arrived, 404s included.
    [[nodiscard]] std::vector<std::string> requested_targets() const;
    void clear_requests();

    // Blocks until stop() is called or the server fails.
    void wait();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// True when loopback is this process's only network interface and every
// address the site's host name resolves to is 127.0.0.1, as inside
// in_site_namespace.sh; tests at the real address check it first so that,
// run by hand outside the namespace, they never reach the network at all
// (not even the name servers).
[[nodiscard]] bool site_host_is_loopback();

}  // namespace novel::fixture
