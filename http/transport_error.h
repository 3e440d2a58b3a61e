#pragma once
// Why an exchange brought no response, and how a user is told so.

#include <cstdint>
#include <string>

namespace novel {

enum class TransportError {
    none,               // a response came (whatever its status)
    name_not_resolved,  // the host name (or the proxy's) could not be resolved
    cannot_connect,     // refused, unreachable, or the TLS handshake failed
    timed_out,          // a time-out or stall limit ran out
    connection_reset,   // the connection broke before the response was whole
    stopped,            // the caller's stop token ended it
    other,              // anything else: a bad address, a body over the limit, ...
};

// The one rule of a successful answer: a response came and its status is 2xx.
[[nodiscard]] constexpr bool is_success_status(std::int32_t status) { return status / 100 == 2; }
[[nodiscard]] constexpr bool succeeded(TransportError error, std::int32_t status) {
    return error == TransportError::none && is_success_status(status);
}

// Why an exchange failed, in a few GBK words for the user ("连接超时",
// "HTTP 状态 404"); empty when it did not fail.
[[nodiscard]] std::string describe_failure(TransportError error, std::int32_t status);

}  // namespace novel
