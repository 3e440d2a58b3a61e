#pragma once
// The HTTP object that http_request drives: time-outs, a named proxy, request
// headers, open, two options, send, and the response's body, headers and
// status. One synchronous exchange per send; a failed exchange leaves an
// empty body, empty headers and status 0, and nothing is thrown.
//
// Successive exchanges on one thread share that thread's pool of connections,
// and all threads share DNS answers and TLS sessions, so per-call objects
// still reuse connections.
// Only http and https are spoken, for the address and for every redirect.
//
// Time-outs, proxy and options stay on the object from one exchange to the
// next; request headers go out with the next send only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "http/http_response.h"

namespace novel {

namespace curl {
class TransferLoop;
}

// Indices of the two options the object knows.
inline constexpr int kOptionSslErrorIgnoreFlags = 4;
inline constexpr int kOptionEnableRedirects = 6;
// Certificate problems that may be ignored, as flags of option 4.
inline constexpr int kIgnoreUnknownAuthority = 0x0100;
inline constexpr int kIgnoreWrongUsage = 0x0200;
inline constexpr int kIgnoreInvalidCommonName = 0x1000;
inline constexpr int kIgnoreInvalidDate = 0x2000;

// Proxy settings of set_proxy: the object's default, direct, or a named server.
inline constexpr int kProxySettingDefault = 0;
inline constexpr int kProxySettingDirect = 1;
inline constexpr int kProxySettingNamed = 2;

inline constexpr std::size_t kMaxResponseBody = std::size_t{256} << 20U;
// The header lines of one response kept, CR LF included; more ends the
// exchange. Our own bound, whatever the transfer library was built with.
inline constexpr std::size_t kMaxResponseHeaders = std::size_t{256} << 10U;

struct HttpTimeouts {
    int resolve_ms = 0;
    int connect_ms = 60000;
    int send_ms = 30000;
    int receive_ms = 30000;
    friend bool operator==(const HttpTimeouts&, const HttpTimeouts&) = default;
};

class HttpRequestObject {
public:
    HttpRequestObject();
    ~HttpRequestObject();
    HttpRequestObject(HttpRequestObject&&) noexcept;
    HttpRequestObject& operator=(HttpRequestObject&&) noexcept;
    HttpRequestObject(const HttpRequestObject&) = delete;
    HttpRequestObject& operator=(const HttpRequestObject&) = delete;

    // False when the underlying transfer handle could not be made.
    [[nodiscard]] bool valid() const;

    // Resolve plus connect bound the connection phase; send and receive are
    // stall limits: that long without a byte moving ends the exchange (a
    // header line's bytes count once the line is whole).
    // Zero or less lifts the limit (the connection phase then keeps the
    // transfer library's own).
    void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms);
    void set_proxy(int setting, std::string_view server);
    // Headers set before or after open go out with the next send, in order.
    void set_request_header(std::string_view name, std::string_view value);
    void open(std::string_view method, std::string_view url);
    void set_option(int index, int value);
    // Sends the request with this body (text and bytes travel alike, as the
    // bytes they are) and reads the whole response. A stop requested on the
    // token set below abandons the exchange at once, from any thread.
    void send(std::string_view body = {});
    void set_stop_token(std::stop_token stop);

    [[nodiscard]] ByteData response_body() const;
    // The header lines of the final response without its status line, each
    // ending in CR LF, the block ending with an empty line.
    [[nodiscard]] std::string all_response_headers() const;
    [[nodiscard]] std::int32_t status() const;
    // Why the last exchange brought no response; none when one came.
    [[nodiscard]] TransportError transport_error() const;

    // What the object was set to, for callers that check their settings.
    [[nodiscard]] const HttpTimeouts& timeouts() const;
    [[nodiscard]] int timeout_settings_count() const;
    [[nodiscard]] std::optional<int> option(int index) const;
    [[nodiscard]] std::string proxy_server() const;

    // For several exchanges at once on one loop (ConcurrentRequests): the
    // exchange starts on loop instead of running to its end; the loop says
    // when its transfer (transfer_handle) has ended and with what result,
    // which finish_send takes. Then the response reads as after send.
    [[nodiscard]] bool start_send(curl::TransferLoop& loop);
    void finish_send(curl::TransferLoop& loop, int result);
    [[nodiscard]] const void* transfer_handle() const;

    // For measurements only: a new connection (and TLS handshake) per send.
    void set_fresh_connection_per_request(bool fresh);
    // Lowers the response body limit (default kMaxResponseBody).
    void set_body_limit(std::size_t limit);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace novel
