#pragma once
// Conversion between GBK (code page 936) byte texts and UTF-16, the one place
// where texts cross into the regex engine and the windows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace novel {

// Never fails: each byte that does not start a valid character becomes
// U+FFFD, one UTF-16 unit per byte, so every character keeps at least one byte.
[[nodiscard]] std::u16string gbk_to_utf16(std::string_view gbk);

// A character GBK cannot hold (a lone surrogate, a character outside the
// basic plane, anything unmapped) becomes "?".
[[nodiscard]] std::string utf16_to_gbk(std::u16string_view utf16);

// UTF-8 (file names, the system's messages) to GBK; a byte that does not
// start a well-formed sequence becomes "?", as does what GBK cannot hold.
[[nodiscard]] std::string gbk_from_utf8(std::string_view utf8);
// GBK to UTF-8; each byte that starts no character becomes U+FFFD.
[[nodiscard]] std::string utf8_from_gbk(std::string_view gbk);

// GB18030 holds every character; only a lone surrogate becomes "?". Empty
// when the system has no GB18030 converter.
[[nodiscard]] std::string utf16_to_gb18030(std::u16string_view utf16);

// A decoded text together with where each UTF-16 unit came from.
class DecodedGbk {
public:
    explicit DecodedGbk(std::string_view gbk);

    [[nodiscard]] const std::u16string& utf16() const { return utf16_; }
    // The GBK byte offset of the character that holds the given UTF-16 unit;
    // unit == utf16().size() maps to the byte length.
    [[nodiscard]] std::size_t byte_offset(std::size_t unit) const;

private:
    std::string source_;
    std::u16string utf16_;
    // The byte offset of every 64th unit; the rest is found by walking from
    // there, which keeps the map small and its making cheap.
    std::vector<std::uint32_t> checkpoints_;
};

}  // namespace novel
