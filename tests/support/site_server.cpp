#include "tests/support/site_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <net/if.h>
#include <netdb.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "chapter/site.h"
#include "tests/support/test_certificate.h"

namespace novel::fixture {
namespace {
struct AddrinfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrinfoPtr = std::unique_ptr<addrinfo, AddrinfoDeleter>;

std::string site_host() {
    return std::string(SITE_ORIGIN.substr(std::string_view("https://").size()));
}

struct InterfaceListDeleter {
    void operator()(struct if_nameindex* list) const { if_freenameindex(list); }
};
using InterfaceListPtr = std::unique_ptr<struct if_nameindex, InterfaceListDeleter>;

// True when loopback is the only network interface, as in a fresh network
// namespace. Asked of the kernel, so it holds for this process's namespace.
bool only_loopback_interface() {
    const InterfaceListPtr list(if_nameindex());
    if (!list) return false;
    bool any = false;
    for (const struct if_nameindex* entry = list.get(); entry->if_index != 0; ++entry) {
        if (std::string_view(entry->if_name) != "lo") return false;
        any = true;
    }
    return any;
}
}  // namespace

bool site_host_is_loopback() {
    // Checked before the name is resolved: outside the namespace resolving it
    // would send a query to the real name servers.
    if (!only_loopback_interface()) return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(site_host().c_str(), "443", &hints, &found) != 0) return false;
    const AddrinfoPtr list(found);
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET) return false;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        if (ntohl(address->sin_addr.s_addr) != INADDR_LOOPBACK) return false;
    }
    return found != nullptr;
}

struct FixtureSiteServer::Impl {
    explicit Impl(SitePages site, SiteServerOptions server_options)
        : pages(std::move(site)),
          options(std::move(server_options)),
          credentials(site_host(), "DNS:" + site_host() + ",IP:127.0.0.1"),
          server(credentials.certificate(), credentials.key()) {}

    SitePages pages;
    SiteServerOptions options;
    testing::TestCertificate credentials;
    httplib::SSLServer server;
    int bound_port = -1;
    std::atomic<bool> finished = false;
    std::thread listener;
    mutable std::mutex requests_mutex;
    std::vector<std::string> requests;
};

FixtureSiteServer::FixtureSiteServer(SitePages pages, SiteServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(pages), std::move(options))) {
    Impl& impl = *impl_;
    if (!impl.server.is_valid()) return;
    if (!impl.options.keep_alive) impl.server.set_keep_alive_max_count(1);
    // An answer goes out at once, not held back for the client's delayed ACK.
    impl.server.set_tcp_nodelay(true);
    impl.server.set_pre_routing_handler(
        [&impl](const httplib::Request& request, httplib::Response&) {
            {
                const std::lock_guard lock(impl.requests_mutex);
                impl.requests.push_back(request.target);
            }
            if (impl.options.on_request) impl.options.on_request(request.target);
            return httplib::Server::HandlerResponse::Unhandled;
        });
    impl.server.Get(".*", [&impl](const httplib::Request& request, httplib::Response& response) {
        if (impl.options.answer) {
            const SiteAnswer answer = impl.options.answer(request.target);
            if (answer.delay.count() > 0) std::this_thread::sleep_for(answer.delay);
            if (answer.hang_up) {
                // A content provider that gives up makes the server drop the
                // connection right behind the head.
                response.set_content_provider(
                    1, "text/html",
                    [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
                return;
            }
            for (const auto& [name, value] : answer.headers) response.set_header(name, value);
            if (answer.status != 0) {
                response.status = answer.status;
                response.set_content(answer.body, "text/html");
                return;
            }
        }
        const auto page = impl.pages.find(request.path);
        if (page == impl.pages.end()) {
            response.status = 404;
            return;
        }
        response.set_content(page->second, "text/html");
    });
    if (impl.options.port == 0) {
        impl.bound_port = impl.server.bind_to_any_port("127.0.0.1");
    } else if (impl.server.bind_to_port("127.0.0.1", impl.options.port)) {
        impl.bound_port = impl.options.port;
    }
    if (impl.bound_port <= 0) {
        impl.bound_port = -1;
        return;
    }
    impl.listener = std::thread([&impl] {
        impl.server.listen_after_bind();
        impl.finished = true;
    });
    // stop() is lost on a server that is not running yet.
    while (!impl.server.is_running() && !impl.finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::function<SiteAnswer(const std::string&)> slow_pages_instant_misses(
    const SitePages& pages, std::chrono::milliseconds page_delay) {
    std::set<std::string, std::less<>> present;
    for (const auto& [path, bytes] : pages) present.insert(path);
    return [present = std::move(present), page_delay](const std::string& target) {
        const std::string_view path = std::string_view(target).substr(0, target.find('?'));
        if (present.contains(path)) return SiteAnswer{.delay = page_delay};
        return SiteAnswer{.status = 404, .body = "<html>404 Not Found</html>"};
    };
}

FixtureSiteServer::~FixtureSiteServer() {
    stop();
    if (impl_->listener.joinable()) impl_->listener.join();
}

bool FixtureSiteServer::listening() const { return impl_->bound_port > 0; }

int FixtureSiteServer::port() const { return impl_->bound_port; }

std::string FixtureSiteServer::origin() const {
    return "https://127.0.0.1:" + std::to_string(impl_->bound_port);
}

std::vector<std::string> FixtureSiteServer::requested_targets() const {
    const std::lock_guard lock(impl_->requests_mutex);
    return impl_->requests;
}

void FixtureSiteServer::clear_requests() {
    const std::lock_guard lock(impl_->requests_mutex);
    impl_->requests.clear();
}

void FixtureSiteServer::wait() {
    if (impl_->listener.joinable()) impl_->listener.join();
}

void FixtureSiteServer::stop() {
    if (listening()) impl_->server.stop();
}

}  // namespace novel::fixture
