#include "http/http_request.h"

#include <array>
#include <cstdint>
#include <limits>

#include "http/base64.h"
#include "http/header_cookies.h"
#include "http/request_object.h"
#include "text/text_cutting.h"
#include "text/text_operations.h"

namespace novel {
namespace {

constexpr std::array<std::string_view, 8> kMethods = {"GET",     "POST",   "HEAD",  "PUT",
                                                      "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kPostMethod = 1;
constexpr int kDefaultTimeoutMs = 15000;
constexpr int kSslErrorsIgnored = 0x3300;
constexpr int kBasicProxyAuth = 1;
constexpr std::string_view kCrLf = "\r\n";

// Whole seconds to milliseconds, truncated toward zero; values beyond the
// 32-bit range are held at its ends instead of wrapping.
int timeout_milliseconds(int timeout) {
    if (timeout < 1) return kDefaultTimeoutMs;
    const double ms = timeout * 1000.0;
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    return ms >= kMax ? kMax : static_cast<int>(ms);
}

void complete_headers(std::string& headers, std::string_view url, int method) {
    const auto missing = [&](std::string_view search) {
        return find_text(headers, search) == kNotFound;
    };
    const auto append = [&](std::string_view line) {
        headers += kCrLf;
        headers += line;
    };
    if (headers.empty()) {
        headers = "Accept: */*";
    } else if (missing("Accept:")) {
        append("Accept: */*");
    }
    if (missing("Referer:")) append(std::string("Referer: ") + std::string(url));
    if (missing("Accept-Language:")) append("Accept-Language: zh-cn");
    if (missing("User-Agent:")) {
        append("User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    }
    if (method == kPostMethod && missing("Content-Type:")) {
        append("Content-Type: application/x-www-form-urlencoded");
    }
}

void set_header_lines(HttpRequestObject& object, std::string_view headers) {
    if (find_text(headers, kCrLf) == kNotFound) {
        object.set_request_header(header_name(headers), header_value(headers));
        return;
    }
    for (const std::string& line : split_text(headers, kCrLf)) {
        if (!line.empty()) object.set_request_header(header_name(line), header_value(line));
    }
}

std::string collect_cookies(std::string_view returned_headers) {
    std::string cookies;
    for (const std::string& piece : split_text(returned_headers, kCrLf)) {
        if (find_text(piece, "Set-Cookie") == kNotFound) continue;
        if (find_text(piece, ";") != kNotFound) {
            cookies += trim_text(text_between(piece, "Set-Cookie:", ";"));
        } else {
            cookies += trim_text(replace_text(piece, "Set-Cookie:", "", 1, std::nullopt, false));
        }
        cookies += "; ";
    }
    return left_text(cookies, text_length(cookies) - 2);
}

}  // namespace

void set_up_request(HttpRequestObject& object, std::string_view url,
                    const HttpRequestOptions& options, std::string& headers) {
    const int method = options.method < 0 || options.method > 7 ? 0 : options.method;
    if (options.timeout != -1) {
        const int t = timeout_milliseconds(options.timeout);
        object.set_timeouts(t, t, t, t);
    }

    if (!options.proxy.empty()) {
        object.set_proxy(kProxySettingNamed, options.proxy);
        if (!options.proxy_user.empty() &&
            options.proxy_auth_mode.value_or(kBasicProxyAuth) == kBasicProxyAuth) {
            const std::string credentials =
                std::string(options.proxy_user) + ":" + std::string(options.proxy_password);
            object.set_request_header("Proxy-Authorization", "Basic " + base64_encode(credentials));
        }
    }

    object.open(kMethods.at(static_cast<std::size_t>(method)), url);

    if (options.no_redirect) object.set_option(kOptionEnableRedirects, 0);
    object.set_option(kOptionSslErrorIgnoreFlags, kSslErrorsIgnored);

    complete_headers(headers, url, method);

    if (options.cookies != nullptr && !options.cookies->empty()) {
        object.set_request_header("Cookie", *options.cookies);
    }
    set_header_lines(object, headers);
}

namespace {

// nullopt when there is no usable object: nothing is sent, and the caller's
// out parameters are left as they were.
std::optional<HttpResponse> exchange(std::string_view url, const HttpRequestOptions& options) {
    HttpResponse response;
    try {
        const bool auto_merge_cookies = options.auto_merge_cookies.value_or(true);

        std::optional<HttpRequestObject> own_object;
        HttpRequestObject* object = options.request_object;
        if (object == nullptr) object = &own_object.emplace();
        if (!object->valid()) return std::nullopt;
        object->set_stop_token(options.stop);

        std::string local_headers;
        std::string& headers = options.headers != nullptr ? *options.headers : local_headers;
        set_up_request(*object, url, options, headers);

        object->send(!options.post_bytes.empty() ? options.post_bytes : options.post_text);

        response.body = object->response_body();
        response.headers = replace_text(object->all_response_headers(), "Set-Cookie", "Set-Cookie",
                                        1, std::nullopt, false);
        response.status = object->status();
        response.error = object->transport_error();

        if (options.returned_cookies != nullptr || options.cookies != nullptr) {
            std::string returned_cookies = collect_cookies(response.headers);
            if (auto_merge_cookies && options.cookies != nullptr) {
                returned_cookies = merge_cookies(*options.cookies, returned_cookies);
            }
            if (options.returned_cookies != nullptr)
                *options.returned_cookies = std::move(returned_cookies);
        }
        return response;
    } catch (...) {
        // Only running out of memory can land here; the failure shows as an empty body.
        return std::nullopt;
    }
}

}  // namespace

HttpResponse http_fetch(std::string_view url, const HttpRequestOptions& options) {
    return exchange(url, options).value_or(HttpResponse{.error = TransportError::other});
}

ByteData http_request(std::string_view url, const HttpRequestOptions& options) {
    std::optional<HttpResponse> exchanged = exchange(url, options);
    if (!exchanged) {
        if (options.transport_error != nullptr) *options.transport_error = TransportError::other;
        return {};
    }
    HttpResponse& response = *exchanged;
    if (options.returned_headers != nullptr)
        *options.returned_headers = std::move(response.headers);
    if (options.status != nullptr) *options.status = response.status;
    if (options.transport_error != nullptr) *options.transport_error = response.error;
    return std::move(response.body);
}

}  // namespace novel
