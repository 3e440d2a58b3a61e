#include "http/request_object.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#include "http/curl_handles.h"
#include "http/transfer_loop.h"
#include "text/text_operations.h"

namespace novel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaxRedirects = 10;
constexpr char kAllowedProtocols[] = "http,https";
constexpr int kIgnoreAllCertificateErrors =
    kIgnoreUnknownAuthority | kIgnoreWrongUsage | kIgnoreInvalidCommonName | kIgnoreInvalidDate;

// DNS answers and TLS sessions shared by every exchange of the process, on
// any thread; the locks keep them consistent. Connections are not shared
// here: the transfer library cannot hand one connection pool to several
// threads at once, so each thread keeps its own (see TransferLoop).
class SharedPool {
public:
    SharedPool() : share_(curl_share_init()) {
        if (!share_) return;
        curl_share_setopt(share_.get(), CURLSHOPT_LOCKFUNC, &SharedPool::lock);
        curl_share_setopt(share_.get(), CURLSHOPT_UNLOCKFUNC, &SharedPool::unlock);
        curl_share_setopt(share_.get(), CURLSHOPT_USERDATA, this);
        for (const curl_lock_data data : {CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION}) {
            curl_share_setopt(share_.get(), CURLSHOPT_SHARE, data);
        }
    }
    [[nodiscard]] CURLSH* get() const { return share_.get(); }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* pool) {
        static_cast<SharedPool*>(pool)->locks_.at(static_cast<std::size_t>(data)).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* pool) {
        static_cast<SharedPool*>(pool)->locks_.at(static_cast<std::size_t>(data)).unlock();
    }

    // Declared before the share so that they outlive its clean-up, which locks.
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
    curl::SharePtr share_;
};

CURLSH* shared_pool() {
    curl::initialise_once();
    static SharedPool pool;
    return pool.get();
}

bool has_line_break_or_nul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool is_token(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return c > ' ' && c < 0x7F && c != ':' && c != '(' && c != ')' && c != ',' && c != ';' &&
               c != '"' && c != '/' && c != '[' && c != ']';
    });
}

void append_line(curl::SlistPtr& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) throw std::bad_alloc();
    (void)list.release();  // grown is the same list with the line added
    list.reset(grown);
}

TransportError transport_error_of(CURLcode result, bool stalled, bool stop_requested) {
    switch (result) {
        case CURLE_OK:
            return TransportError::none;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return TransportError::name_not_resolved;
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
            return TransportError::cannot_connect;
        case CURLE_OPERATION_TIMEDOUT:
            return TransportError::timed_out;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return TransportError::connection_reset;
        case CURLE_ABORTED_BY_CALLBACK:
            if (stalled) return TransportError::timed_out;
            return stop_requested ? TransportError::stopped : TransportError::other;
        default:
            return TransportError::other;
    }
}

long milliseconds_or_unlimited(long long ms) {
    return static_cast<long>(std::clamp<long long>(ms, 0, 0x7FFFFFFF));
}

}  // namespace

struct HttpRequestObject::State {
    struct Header {
        std::string name;
        std::string value;
    };

    curl::EasyPtr easy;
    HttpTimeouts timeouts;
    int timeout_settings = 0;
    int proxy_setting = kProxySettingDefault;
    std::string proxy;
    std::vector<Header> headers;
    std::string method;
    std::string url;
    bool opened = false;
    std::map<int, int> options;
    bool fresh_connections = false;
    std::size_t body_limit = kMaxResponseBody;

    ByteData body;
    std::string response_headers;
    bool headers_complete = false;
    std::int32_t status = 0;

    TransportError error = TransportError::none;
    std::stop_token stop;

    // The running exchange: what the transfer library reads while it runs.
    curl::SlistPtr server_lines;
    curl::SlistPtr proxy_lines;
    // Stall detection of the running exchange.
    bool stalled = false;
    bool connected = false;
    curl_off_t bytes_moved = 0;
    curl_off_t header_bytes = 0;  // the library counts body bytes only
    curl_off_t upload_size = 0;
    Clock::time_point last_progress;

    void clear_response() {
        body.clear();
        response_headers.clear();
        headers_complete = false;
        status = 0;
    }
    [[nodiscard]] bool uses_proxy() const {
        return proxy_setting == kProxySettingNamed && !proxy.empty();
    }
    [[nodiscard]] bool has_header(std::string_view name) const {
        return std::any_of(headers.begin(), headers.end(),
                           [&](const Header& h) { return equals_ignoring_case(h.name, name); });
    }

    // Sets the transfer up for one exchange; false when it cannot start.
    bool prepare(std::string_view request_body);
    // Takes the transfer's result; false when no response came.
    bool finish(CURLcode result);
    void set_method_and_body(CURL* e, std::string_view request_body) const;

    static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self);
    static int on_progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                           curl_off_t uploaded);
    static int on_connected(void* self, char*, char*, int, int);
};

std::size_t HttpRequestObject::State::on_body(char* data, std::size_t size, std::size_t count,
                                              void* self) {
    auto& state = *static_cast<State*>(self);
    const std::size_t n = size * count;
    if (n > state.body_limit - std::min(state.body_limit, state.body.size()))
        return 0;  // ends the exchange
    try {
        state.body.append(data, n);
    } catch (...) {
        return 0;  // no exception may cross the transfer library; this ends the exchange too
    }
    return n;
}

std::size_t HttpRequestObject::State::on_header(char* data, std::size_t size, std::size_t count,
                                                void* self) {
    auto& state = *static_cast<State*>(self);
    const std::size_t n = size * count;
    state.header_bytes += static_cast<curl_off_t>(n);
    std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
        // A new response begins (after a redirect or an interim 1xx): only the last one counts.
        state.clear_response();
        return n;
    }
    if (state.headers_complete) return n;  // trailers of a chunked body
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty()) {
        state.headers_complete = true;
        return n;
    }
    if (line.size() + 2 > kMaxResponseHeaders - state.response_headers.size())
        return 0;  // ends the exchange, as an oversized body does
    try {
        state.response_headers.append(line);
        state.response_headers += "\r\n";
    } catch (...) {
        return 0;  // as in on_body
    }
    return n;
}

int HttpRequestObject::State::on_progress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                                          curl_off_t uploaded) {
    auto& state = *static_cast<State*>(self);
    if (!state.connected) return 0;  // the connection phase has its own limit
    const Clock::time_point now = Clock::now();
    // Header lines count as they arrive: a slow head is no stall either.
    const curl_off_t moved = downloaded + uploaded + state.header_bytes;
    if (moved != state.bytes_moved) {
        state.bytes_moved = moved;
        state.last_progress = now;
        return 0;
    }
    const int limit_ms =
        uploaded < state.upload_size ? state.timeouts.send_ms : state.timeouts.receive_ms;
    if (limit_ms <= 0) return 0;
    state.stalled = now - state.last_progress > std::chrono::milliseconds(limit_ms);
    return state.stalled ? 1 : 0;
}

int HttpRequestObject::State::on_connected(void* self, char*, char*, int, int) {
    auto& state = *static_cast<State*>(self);
    state.connected = true;
    state.last_progress = Clock::now();
    return CURL_PREREQFUNC_OK;
}

void HttpRequestObject::State::set_method_and_body(CURL* e, std::string_view request_body) const {
    if (method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        return;
    }
    if (method == "GET" && request_body.empty()) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        return;
    }
    if (method == "POST" || !request_body.empty()) {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request_body.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request_body.data());
    }
    if (method != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str());
}

bool HttpRequestObject::State::prepare(std::string_view request_body) {
    CURL* e = easy.get();
    curl_easy_reset(e);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // A stop must not wait for a name lookup the system may take seconds to
    // give up on: the lookup's thread is left to end on its own.
    curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);

    const auto redirects = options.find(kOptionEnableRedirects);
    const bool follow = redirects == options.end() || redirects->second != 0;
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);

    const auto ignore = options.find(kOptionSslErrorIgnoreFlags);
    const int ignored = ignore == options.end() ? 0 : ignore->second;
    const bool ignore_all = (ignored & kIgnoreAllCertificateErrors) == kIgnoreAllCertificateErrors;
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, ignore_all ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, ignore_all ? 0L : 2L);

    if (timeouts.connect_ms > 0) {
        const long long budget =
            static_cast<long long>(timeouts.connect_ms) + std::max(timeouts.resolve_ms, 0);
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, milliseconds_or_unlimited(budget));
    }
    stalled = false;
    connected = false;
    bytes_moved = 0;
    header_bytes = 0;
    upload_size = static_cast<curl_off_t>(request_body.size());
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &State::on_progress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &State::on_connected);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, this);

    // An empty proxy also keeps proxy settings from the environment out.
    curl_easy_setopt(e, CURLOPT_PROXY, uses_proxy() ? proxy.c_str() : "");
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    if (fresh_connections) {
        curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    } else if (CURLSH* share = shared_pool()) {
        curl_easy_setopt(e, CURLOPT_SHARE, share);
    }

    set_method_and_body(e, request_body);

    server_lines.reset();
    proxy_lines.reset();
    for (const Header& header : headers) {
        const std::string line = header.value.empty() ? header.name + ";"  // sends "Name:"
                                                      : header.name + ": " + header.value;
        if (!equals_ignoring_case(header.name, "Proxy-Authorization")) {
            append_line(server_lines, line);
        } else if (uses_proxy()) {
            // Proxy credentials go to the proxy only: on a plain request to the proxy
            // and on its tunnel request, never through a tunnel to the site, not
            // even one opened by a redirect from http to https.
            append_line(proxy_lines, line);
        }
    }
    // Send only what was asked for: no default Accept, Expect or form Content-Type.
    if (!has_header("Accept")) append_line(server_lines, "Accept:");
    if (!has_header("Expect")) append_line(server_lines, "Expect:");
    if (!has_header("Content-Type")) append_line(server_lines, "Content-Type:");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, server_lines.get());
    curl_easy_setopt(e, CURLOPT_PROXYHEADER, proxy_lines.get());
    curl_easy_setopt(e, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));

    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(body_limit));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &State::on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &State::on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);

    return true;
}

bool HttpRequestObject::State::finish(CURLcode result) {
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_SHARE, nullptr);
    server_lines.reset();
    proxy_lines.reset();
    error = transport_error_of(result, stalled, stop.stop_requested());
    if (result != CURLE_OK) return false;

    long code = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
    status = static_cast<std::int32_t>(code);
    if (status == 0) error = TransportError::other;
    if (headers_complete) response_headers += "\r\n";
    return status != 0;
}

HttpRequestObject::HttpRequestObject() : state_(std::make_unique<State>()) {
    curl::initialise_once();
    state_->easy.reset(curl_easy_init());
}

HttpRequestObject::~HttpRequestObject() = default;
HttpRequestObject::HttpRequestObject(HttpRequestObject&&) noexcept = default;
HttpRequestObject& HttpRequestObject::operator=(HttpRequestObject&&) noexcept = default;

bool HttpRequestObject::valid() const { return state_ && state_->easy; }

void HttpRequestObject::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
    if (!state_) return;
    state_->timeouts = {resolve_ms, connect_ms, send_ms, receive_ms};
    ++state_->timeout_settings;
}

void HttpRequestObject::set_proxy(int setting, std::string_view server) {
    if (!state_ || has_line_break_or_nul(server)) return;
    state_->proxy_setting = setting;
    state_->proxy = server;
}

void HttpRequestObject::set_request_header(std::string_view name, std::string_view value) {
    // A line break in a name or value would smuggle extra header lines onto the wire.
    if (!state_ || !is_token(name) || has_line_break_or_nul(value)) return;
    state_->headers.push_back({std::string(name), std::string(value)});
}

void HttpRequestObject::open(std::string_view method, std::string_view url) {
    if (!state_) return;
    state_->clear_response();
    state_->method = method;
    state_->url = url;
    state_->opened = is_token(method) && !url.empty() && !has_line_break_or_nul(url);
}

void HttpRequestObject::set_option(int index, int value) {
    if (state_) state_->options[index] = value;
}

void HttpRequestObject::send(std::string_view body) {
    if (!state_) return;
    State& state = *state_;
    state.clear_response();
    state.error = TransportError::other;
    if (state.easy && state.opened) {
        try {
            const bool answered =
                state.prepare(body) && state.finish(curl::TransferLoop::of_this_thread().run(
                                           state.easy.get(), state.stop));
            if (!answered) state.clear_response();
        } catch (...) {
            state.clear_response();
        }
    }
    state.headers.clear();  // each exchange starts with its own headers
}

bool HttpRequestObject::start_send(curl::TransferLoop& loop) {
    if (!state_) return false;
    State& state = *state_;
    state.clear_response();
    state.error = TransportError::other;
    bool started = false;
    if (state.easy && state.opened) {
        try {
            started = state.prepare({}) && loop.add(state.easy.get());
        } catch (...) {
            started = false;
        }
    }
    if (!started) {
        state.clear_response();
        state.headers.clear();
    }
    return started;
}

void HttpRequestObject::finish_send(curl::TransferLoop& loop, int result) {
    if (!state_) return;
    State& state = *state_;
    loop.remove(state.easy.get());
    if (!state.finish(static_cast<CURLcode>(result))) state.clear_response();
    state.headers.clear();
}

const void* HttpRequestObject::transfer_handle() const {
    return state_ ? state_->easy.get() : nullptr;
}

void HttpRequestObject::set_stop_token(std::stop_token stop) {
    if (state_) state_->stop = std::move(stop);
}

TransportError HttpRequestObject::transport_error() const {
    return state_ ? state_->error : TransportError::other;
}

ByteData HttpRequestObject::response_body() const { return state_ ? state_->body : ByteData(); }

std::string HttpRequestObject::all_response_headers() const {
    return state_ ? state_->response_headers : std::string();
}

std::int32_t HttpRequestObject::status() const { return state_ ? state_->status : 0; }

const HttpTimeouts& HttpRequestObject::timeouts() const {
    static const HttpTimeouts defaults;
    return state_ ? state_->timeouts : defaults;
}

int HttpRequestObject::timeout_settings_count() const {
    return state_ ? state_->timeout_settings : 0;
}

std::optional<int> HttpRequestObject::option(int index) const {
    if (!state_) return std::nullopt;
    const auto found = state_->options.find(index);
    return found == state_->options.end() ? std::nullopt : std::optional<int>(found->second);
}

std::string HttpRequestObject::proxy_server() const {
    return state_ && state_->uses_proxy() ? state_->proxy : std::string();
}

void HttpRequestObject::set_fresh_connection_per_request(bool fresh) {
    if (state_) state_->fresh_connections = fresh;
}

void HttpRequestObject::set_body_limit(std::size_t limit) {
    if (state_) state_->body_limit = limit;
}

}  // namespace novel
