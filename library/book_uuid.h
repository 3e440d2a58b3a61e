#pragma once
// A book's identifier: the same book number gives the same UUID on every
// export, so a reading device sees a new export as the same book.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace novel {

using UuidBytes = std::array<std::uint8_t, 16>;

// A name-based UUID (version 5: SHA-1 of namespace and name), lower-case
// and hyphenated.
[[nodiscard]] std::string uuid_v5(const UuidBytes& name_space, std::string_view name);

// uuid_v5 of the book number in this program's own namespace.
[[nodiscard]] std::string book_uuid(std::string_view book_number);

}  // namespace novel
