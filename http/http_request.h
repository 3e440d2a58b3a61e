#pragma once
// The one routine through which the program speaks HTTP and HTTPS.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "http/request_object.h"

namespace novel {

// The optional parameters, in their fixed order; a null pointer or an empty
// optional is an omitted parameter.
struct HttpRequestOptions {
    int method = 0;                  // index into GET POST HEAD PUT OPTIONS DELETE TRACE CONNECT
    std::string_view post_text;      // sent when post_bytes is empty
    std::string* cookies = nullptr;  // in/out: sent, then merged with what comes back
    std::string* returned_cookies = nullptr;  // out
    std::string* headers = nullptr;           // in/out: completed and written back
    std::string* returned_headers = nullptr;  // out
    std::int32_t* status = nullptr;           // out
    bool no_redirect = false;
    std::string_view post_bytes;
    std::string_view proxy;
    int timeout = 0;  // seconds per phase; -1 leaves the object's, below 1 means 15
    std::string_view proxy_user;
    std::string_view proxy_password;
    std::optional<int> proxy_auth_mode;  // omitted: 1 (Basic)
    HttpRequestObject* request_object = nullptr;
    std::optional<bool> auto_merge_cookies;  // omitted: true
    // Beyond the fixed list: a stop requested here abandons the exchange at
    // once (the result is then that of a failed exchange), and why an
    // exchange brought no response is reported here.
    std::stop_token stop;
    TransportError* transport_error = nullptr;  // out
};

// Performs one synchronous exchange and returns the response as a value;
// never throws. A failed exchange gives an empty body, empty headers, status
// 0 and its transport error. The in/out options (headers, cookies) work as
// for http_request; its out-only pointers are left alone.
[[nodiscard]] HttpResponse http_fetch(std::string_view url, const HttpRequestOptions& options = {});

// The same exchange through the routine's out parameters: returns the body.
[[nodiscard]] ByteData http_request(std::string_view url, const HttpRequestOptions& options = {});

// The part of http_request before the exchange: time-outs, proxy, open, the
// options and the completed headers (written to headers) set on object, so
// that an exchange run elsewhere goes out exactly as http_request's would.
void set_up_request(HttpRequestObject& object, std::string_view url,
                    const HttpRequestOptions& options, std::string& headers);

}  // namespace novel
