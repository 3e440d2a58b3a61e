#pragma once

#include <string_view>

namespace novel {

// The site's scheme and host, without a trailing slash; chapter addresses and
// the links taken from pages are appended to it.
inline constexpr std::string_view SITE_ORIGIN = "https://www.qubige.com";

}  // namespace novel
