#pragma once
// Addresses read the way the transfer library reads them when it fetches, so
// that a check on an address holds for the exchange that follows.

#include <optional>
#include <string>
#include <string_view>

namespace novel {

// The host of an absolute address, percent escapes decoded and ASCII letters
// in lower case; std::nullopt when the address does not parse or has no host
// (a NUL byte inside counts as not parsing). Spaces in the path are allowed.
[[nodiscard]] std::optional<std::string> url_host(std::string_view url);

// Scheme, host and port of an absolute address, the scheme in lower case and
// the port filled in from the scheme where the address leaves it out, so
// that "https://a.com" and "https://A.com:443/x" have the same origin.
struct UrlOrigin {
    std::string scheme;
    std::string host;
    std::string port;
    bool operator==(const UrlOrigin&) const = default;
};
[[nodiscard]] std::optional<UrlOrigin> url_origin(std::string_view url);

}  // namespace novel
