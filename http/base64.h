#pragma once
// Standard Base64 (RFC 4648, section 4): "=" padding, no line breaks.

#include <string>
#include <string_view>

namespace novel {

[[nodiscard]] std::string base64_encode(std::string_view bytes);

}  // namespace novel
