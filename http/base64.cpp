#include "http/base64.h"

#include <cstddef>
#include <cstdint>

namespace novel {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::uint32_t byte_at(std::string_view bytes, std::size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0U;
}

}  // namespace

std::string base64_encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t group =
            (byte_at(bytes, i) << 16U) | (byte_at(bytes, i + 1) << 8U) | byte_at(bytes, i + 2);
        const std::size_t present = bytes.size() - i;  // 1, 2 or 3 and more
        text += kAlphabet[(group >> 18U) & 0x3FU];
        text += kAlphabet[(group >> 12U) & 0x3FU];
        text += present > 1 ? kAlphabet[(group >> 6U) & 0x3FU] : '=';
        text += present > 2 ? kAlphabet[group & 0x3FU] : '=';
    }
    return text;
}

}  // namespace novel
