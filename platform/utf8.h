#pragma once
// UTF-8, the encoding of file names, the system's messages and terminals.

#include <string>
#include <string_view>

namespace novel {

// A byte that does not start a well-formed sequence becomes U+FFFD, as in
// GBK decoding.
[[nodiscard]] std::u16string utf8_to_utf16(std::string_view utf8);

// A lone surrogate becomes U+FFFD.
[[nodiscard]] std::string utf16_to_utf8(std::u16string_view utf16);

}  // namespace novel
