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

}  // namespace novel
