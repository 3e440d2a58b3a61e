#pragma once

#include <string_view>

namespace novel {

// The site's scheme and host, without a trailing slash; chapter addresses and
// the links taken from pages are appended to it.
inline constexpr std::string_view SITE_ORIGIN = "https://www.qubige.com";

// Whether the address, read as the transfer would read it, leads to the site
// itself: its scheme, host and port. A path such as "@127.0.0.1/", ":8443/"
// or ".other.example/" behind the origin would lead elsewhere.
[[nodiscard]] bool is_site_address(std::string_view link);

}  // namespace novel
