#include "tests/support/recording_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "tests/support/test_certificate.h"

namespace novel::testing {
namespace {

using namespace std::chrono_literals;

struct SslContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextDeleter>;
using SslPtr = std::unique_ptr<SSL, SslDeleter>;

constexpr auto kKeepAliveIdle = 5s;

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

SslContextPtr make_server_context() {
    const TestCertificate certificate("127.0.0.1", "IP:127.0.0.1,DNS:localhost");
    SslContextPtr context(SSL_CTX_new(TLS_server_method()));
    if (!context || SSL_CTX_use_certificate(context.get(), certificate.certificate()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), certificate.key()) != 1) {
        throw std::runtime_error("test server: TLS set-up failed");
    }
    return context;
}

// One accepted connection, plain or TLS, that keeps a copy of every byte the
// request parser consumes.
class TapStream final : public httplib::Stream {
public:
    TapStream(int fd, SSL* ssl, const std::atomic<bool>& stopping)
        : fd_(fd), ssl_(ssl), stopping_(stopping) {}

    bool is_readable() const override { return wait_readable(kKeepAliveIdle); }
    bool is_writable() const override {
        pollfd entry{fd_, POLLOUT, 0};
        return !dead_ && ::poll(&entry, 1, 5000) > 0;
    }
    ssize_t read(char* ptr, size_t size) override {
        if (buffered_ == consumed_) {
            if (dead_ || !wait_readable(kKeepAliveIdle)) return -1;
            const ssize_t n = receive(buffer_.data(), buffer_.size());
            if (n <= 0) return n;
            buffered_ = static_cast<std::size_t>(n);
            consumed_ = 0;
        }
        const std::size_t n = std::min(size, buffered_ - consumed_);
        std::copy_n(buffer_.data() + consumed_, n, ptr);
        captured_.append(ptr, n);
        consumed_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (dead_) return -1;
        if (ssl_ != nullptr) return SSL_write(ssl_, ptr, static_cast<int>(size));
        return ::send(fd_, ptr, size, MSG_NOSIGNAL);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        address(&getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        address(&getsockname, ip, port);
    }
    socket_t socket() const override { return fd_; }

    bool wait_readable(std::chrono::milliseconds limit) const {
        if (buffered_ != consumed_ || (ssl_ != nullptr && SSL_pending(ssl_) > 0)) return true;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!stopping_ && std::chrono::steady_clock::now() < end) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 50) != 0) return true;
        }
        return false;
    }
    bool read_exact(std::size_t size) {
        char chunk[4096];
        while (size > 0) {
            const ssize_t n = read(chunk, std::min(size, sizeof chunk));
            if (n <= 0) return false;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    std::string take_captured() { return std::exchange(captured_, std::string()); }
    bool write_all(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = write(bytes.data(), bytes.size());
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    // Closing now sends a reset instead of an orderly end; nothing more is written.
    void kill() {
        const linger abort_on_close{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
        dead_ = true;
    }
    // Ends the connection in order once the current answer has been written by hand.
    void hang_up() {
        if (ssl_ != nullptr) SSL_shutdown(ssl_);
        ::shutdown(fd_, SHUT_WR);
        dead_ = true;
    }
    [[nodiscard]] bool dead() const { return dead_; }

private:
    ssize_t receive(char* ptr, std::size_t size) {
        if (ssl_ != nullptr) return SSL_read(ssl_, ptr, static_cast<int>(size));
        return ::recv(fd_, ptr, size, 0);
    }
    void address(int (*query)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
        sockaddr_in where{};
        socklen_t length = sizeof where;
        query(fd_, reinterpret_cast<sockaddr*>(&where), &length);
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &where.sin_addr, text, sizeof text);
        ip = text;
        port = ntohs(where.sin_port);
    }

    int fd_;
    SSL* ssl_;
    const std::atomic<bool>& stopping_;
    std::array<char, 16384> buffer_{};
    std::size_t buffered_ = 0;
    std::size_t consumed_ = 0;
    std::string captured_;
    bool dead_ = false;
};

thread_local TapStream* current_stream = nullptr;

// A status line and the reply's header lines in their own order, for answers
// written by hand; without a length the body ends when the connection does.
std::string raw_head(const ScriptedReply& reply, bool with_length) {
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Scripted\r\n";
    for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
    head += with_length ? "Content-Length: " + std::to_string(reply.body.size()) + "\r\n"
                        : std::string("Connection: close\r\n");
    return head + "\r\n";
}

// Copies bytes both ways between a client and a loopback port, as a tunnelling
// proxy does, until either side hangs up or the server stops.
void relay(int client, std::string_view target, const std::atomic<bool>& stopping) {
    const std::size_t colon = target.rfind(':');
    if (colon == std::string_view::npos || target.substr(0, colon) != "127.0.0.1") return;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    where.sin_port =
        htons(static_cast<std::uint16_t>(std::stoi(std::string(target.substr(colon + 1)))));
    const int site = ::socket(AF_INET, SOCK_STREAM, 0);
    if (site < 0) return;
    if (::connect(site, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0) {
        std::array<pollfd, 2> ends = {pollfd{client, POLLIN, 0}, pollfd{site, POLLIN, 0}};
        std::array<char, 16384> buffer{};
        bool open = true;
        while (open && !stopping) {
            if (::poll(ends.data(), ends.size(), 50) <= 0) continue;
            for (std::size_t i = 0; i < ends.size() && open; ++i) {
                if (ends[i].revents == 0) continue;
                const ssize_t n = ::recv(ends[i].fd, buffer.data(), buffer.size(), 0);
                open = n > 0 && ::send(ends[1 - i].fd, buffer.data(), static_cast<std::size_t>(n),
                                       MSG_NOSIGNAL) == n;
            }
        }
    }
    ::close(site);
}

RecordedRequest parse_head(std::string_view head) {
    RecordedRequest request;
    std::size_t line_end = head.find("\r\n");
    const std::string_view request_line = head.substr(0, line_end);
    const std::size_t first_space = request_line.find(' ');
    const std::size_t last_space = request_line.rfind(' ');
    request.method = request_line.substr(0, first_space);
    if (first_space != last_space) {
        request.target = request_line.substr(first_space + 1, last_space - first_space - 1);
    }
    while (line_end != std::string_view::npos) {
        const std::size_t start = line_end + 2;
        line_end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, line_end - start);
        if (line.empty()) break;
        request.header_lines.emplace_back(line);
    }
    return request;
}

}  // namespace

std::string RecordedRequest::header(std::string_view name) const {
    for (const std::string& line : header_lines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && equals_ignoring_case(line.substr(0, colon), name)) {
            return std::string(trimmed(std::string_view(line).substr(colon + 1)));
        }
    }
    return {};
}

bool RecordedRequest::has_header(std::string_view name) const {
    for (const std::string& line : header_lines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && equals_ignoring_case(line.substr(0, colon), name)) {
            return true;
        }
    }
    return false;
}

class RecordingServer::Tap : public httplib::Server {
public:
    explicit Tap(Scheme scheme) : scheme_(scheme) {
        std::signal(SIGPIPE, SIG_IGN);  // a client hanging up must not end the test run
        if (scheme == Scheme::kHttps) context_ = make_server_context();
        set_pre_routing_handler([this](const httplib::Request&, httplib::Response& response) {
            answer(response);
            return HandlerResponse::Handled;
        });
        port_ = bind_to_any_port("127.0.0.1");
        if (port_ <= 0) throw std::runtime_error("test server: cannot bind");
        listener_ = std::thread([this] { listen_after_bind(); });
        // stop() does nothing until the loop runs, so a quick destructor could miss it.
        while (!is_running()) std::this_thread::sleep_for(1ms);
    }
    ~Tap() override {
        stopping_ = true;
        stop();
        listener_.join();
    }
    Tap(const Tap&) = delete;
    Tap& operator=(const Tap&) = delete;

    const Scheme scheme_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    Script script_;
    std::atomic<int> connections_{0};

private:
    bool process_and_close_socket(socket_t sock) override {
        ++connections_;
        // Head and body go out in separate writes; Nagle would hold the body back.
        const int no_delay = 1;
        ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
        SslPtr ssl;
        if (context_) {
            ssl.reset(SSL_new(context_.get()));
            SSL_set_fd(ssl.get(), sock);
            if (SSL_accept(ssl.get()) != 1) {
                ::close(sock);
                return false;
            }
        }
        TapStream stream(sock, ssl.get(), stopping_);
        current_stream = &stream;
        while (!stream.dead() && stream.wait_readable(kKeepAliveIdle)) {
            bool closed = false;
            if (!process_request(stream, false, closed, nullptr) || closed) break;
        }
        current_stream = nullptr;
        if (ssl && !stream.dead()) SSL_shutdown(ssl.get());
        ssl.reset();
        if (!stream.dead()) ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return true;
    }

    void answer(httplib::Response& response) {
        TapStream& stream = *current_stream;
        std::string raw = stream.take_captured();
        RecordedRequest request = parse_head(raw);
        const std::string length = request.header("Content-Length");
        if (!length.empty() && !stream.read_exact(std::stoul(length))) {
            stream.kill();
            return;
        }
        raw += stream.take_captured();
        const std::size_t head_end = raw.find("\r\n\r\n");
        if (head_end != std::string::npos) request.body = raw.substr(head_end + 4);

        Script script;
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(request);
            script = script_;
        }
        ScriptedReply reply = script ? script(request) : ScriptedReply{.body = "ok"};
        switch (reply.action) {
            case ScriptedReply::Action::kAnswer:
                break;
            case ScriptedReply::Action::kNeverAnswer:
                while (!stopping_) std::this_thread::sleep_for(20ms);
                stream.kill();
                return;
            case ScriptedReply::Action::kResetMidBody:
                stream.write_all(raw_head(reply, true));
                stream.write_all(std::string_view(reply.body).substr(0, reply.body.size() / 2));
                std::this_thread::sleep_for(100ms);  // let the half body reach the client first
                stream.kill();
                return;
            case ScriptedReply::Action::kTrickle: {
                stream.write_all(raw_head(reply, true));
                const std::size_t piece = reply.body.size() / 8 + 1;
                for (std::size_t at = 0; at < reply.body.size() && !stopping_; at += piece) {
                    if (at > 0) std::this_thread::sleep_for(250ms);
                    stream.write_all(std::string_view(reply.body).substr(at, piece));
                }
                stream.hang_up();
                return;
            }
            case ScriptedReply::Action::kTrickleHead: {
                const std::string head = raw_head(reply, true);
                std::size_t line_end = head.find("\r\n") + 2;
                stream.write_all(std::string_view(head).substr(0, line_end));  // the status line
                for (std::size_t i = 0; i < reply.headers.size() && !stopping_; ++i) {
                    std::this_thread::sleep_for(250ms);
                    const std::size_t start = line_end;
                    line_end = head.find("\r\n", start) + 2;
                    stream.write_all(std::string_view(head).substr(start, line_end - start));
                }
                stream.write_all(head.substr(line_end) + reply.body);
                stream.hang_up();
                return;
            }
            case ScriptedReply::Action::kCloseDelimited:
                stream.write_all(raw_head(reply, false) + reply.body);
                stream.hang_up();
                return;
            case ScriptedReply::Action::kTunnel:
                stream.write_all("HTTP/1.1 200 Connection established\r\n\r\n");
                relay(stream.socket(), request.target, stopping_);
                stream.hang_up();
                return;
        }
        response.status = reply.status;
        for (auto& [name, value] : reply.headers) response.headers.emplace(name, value);
        response.body = std::move(reply.body);
    }

    SslContextPtr context_;
    std::atomic<bool> stopping_{false};
    std::thread listener_;
};

RecordingServer::RecordingServer(Scheme scheme) : tap_(std::make_unique<Tap>(scheme)) {}

RecordingServer::~RecordingServer() = default;

void RecordingServer::set_script(Script script) {
    const std::lock_guard lock(tap_->mutex_);
    tap_->script_ = std::move(script);
}

int RecordingServer::port() const { return tap_->port_; }

std::string RecordingServer::url(std::string_view path) const {
    return std::string(tap_->scheme_ == Scheme::kHttps ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(tap_->port_) + std::string(path);
}

std::vector<RecordedRequest> RecordingServer::requests() const {
    const std::lock_guard lock(tap_->mutex_);
    return tap_->requests_;
}

int RecordingServer::connections_accepted() const { return tap_->connections_; }

int unused_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length);
    ::close(fd);  // bound but never listening: the port is free and refuses
    return ntohs(where.sin_port);
}

}  // namespace novel::testing
