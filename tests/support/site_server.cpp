#include "tests/support/site_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netdb.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace novel::fixture {
namespace {
struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct EvpPkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct X509ExtensionDeleter {
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using X509Ptr = std::unique_ptr<X509, X509Deleter>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, EvpPkeyDeleter>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, X509ExtensionDeleter>;

struct AddrinfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrinfoPtr = std::unique_ptr<addrinfo, AddrinfoDeleter>;

struct Credentials {
    X509Ptr certificate;
    EvpPkeyPtr key;
};

void add_name_entry(X509_NAME* name, const char* field, const char* value) {
    X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(value), -1, -1, 0);
}

// A fresh key and a one-day certificate for the site's host and loopback.
Credentials make_self_signed() {
    Credentials made{.certificate = X509Ptr(X509_new()), .key = EvpPkeyPtr(EVP_EC_gen("P-256"))};
    if (!made.certificate || !made.key) throw std::runtime_error("cannot make a test key");
    X509* certificate = made.certificate.get();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 60 * 60);
    X509_set_pubkey(certificate, made.key.get());
    X509_NAME* name = X509_get_subject_name(certificate);
    add_name_entry(name, "O", "fixture site");
    add_name_entry(name, "CN", "www.qubige.com");
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const X509ExtensionPtr alt_names(X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name,
                                                         "DNS:www.qubige.com,IP:127.0.0.1"));
    if (alt_names) X509_add_ext(certificate, alt_names.get(), -1);
    if (X509_sign(certificate, made.key.get(), EVP_sha256()) == 0) {
        throw std::runtime_error("cannot sign the test certificate");
    }
    return made;
}
}  // namespace

bool site_host_is_loopback() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo("www.qubige.com", "443", &hints, &found) != 0) return false;
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
          credentials(make_self_signed()),
          server(credentials.certificate.get(), credentials.key.get()) {}

    SitePages pages;
    SiteServerOptions options;
    Credentials credentials;
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
