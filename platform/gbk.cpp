#include "platform/gbk.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <memory>
#include <type_traits>

namespace novel {
namespace {

constexpr char16_t kReplacementCharacter = u'\uFFFD';
constexpr char kUnmappable = '?';

struct IconvCloser {
    void operator()(iconv_t handle) const { iconv_close(handle); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle open_iconv(const char* to, const char* from) {
    iconv_t handle = iconv_open(to, from);
    if (handle == reinterpret_cast<iconv_t>(-1)) return IconvHandle();
    return IconvHandle(handle);
}

// Converts one short sequence; returns the number of output bytes, 0 on failure.
std::size_t convert_one(iconv_t handle, const char* input, std::size_t input_size, char* output,
                        std::size_t output_size) {
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input);
    char* out = output;
    std::size_t in_left = input_size;
    std::size_t out_left = output_size;
    if (iconv(handle, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) return 0;
    if (in_left != 0) return 0;
    return output_size - out_left;
}

bool is_lead_byte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The code page, read once from iconv into lookup tables: per-character
// iconv calls would cost far more than the regex search they feed.
class Gbk936Tables {
public:
    Gbk936Tables() {
        single_.fill(kReplacementCharacter);
        double_.fill(0);
        encode_.fill(0);
        for (unsigned byte = 0; byte < 0x80; ++byte) {
            single_[byte] = static_cast<char16_t>(byte);
        }
        IconvHandle decoder = open_iconv("UTF-16LE", "CP936");
        IconvHandle encoder = open_iconv("CP936", "UTF-16LE");
        if (!decoder || !encoder) return;  // ASCII still works; the rest becomes U+FFFD / "?"

        for (unsigned byte = 0x80; byte < 0x100; ++byte) {
            const char input = static_cast<char>(byte);
            if (auto unit = decode_with(decoder.get(), &input, 1)) single_[byte] = unit;
        }
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                const char input[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                double_[index(lead, trail)] = decode_with(decoder.get(), input, 2);
            }
        }
        for (unsigned unit = 0x80; unit < 0x10000; ++unit) {
            if (unit >= 0xD800 && unit <= 0xDFFF) continue;
            const char input[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            char output[4];
            const std::size_t size = convert_one(encoder.get(), input, 2, output, sizeof output);
            if (size == 1) {
                encode_[unit] = static_cast<unsigned char>(output[0]);
            } else if (size == 2) {
                encode_[unit] = static_cast<std::uint16_t>(
                    (static_cast<unsigned char>(output[0]) << 8) |
                    static_cast<unsigned char>(output[1]));
            }
        }
    }

    char16_t single(unsigned char byte) const { return single_[byte]; }
    // 0 when the pair is not a character of the code page.
    char16_t pair(unsigned char lead, unsigned char trail) const {
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return 0;
        return double_[index(lead, trail)];
    }
    // 0 when unmappable; below 0x100 a single byte, otherwise lead << 8 | trail.
    std::uint16_t encoded(char16_t unit) const { return encode_[unit]; }

private:
    static std::size_t index(unsigned lead, unsigned trail) {
        return (lead - 0x81) * 0xBF + (trail - 0x40);
    }
    static char16_t decode_with(iconv_t decoder, const char* input, std::size_t size) {
        char output[4];
        if (convert_one(decoder, input, size, output, sizeof output) != 2) return 0;
        return static_cast<char16_t>(static_cast<unsigned char>(output[0]) |
                                     (static_cast<unsigned char>(output[1]) << 8));
    }

    std::array<char16_t, 0x100> single_{};
    std::array<char16_t, 0x7E * 0xBF> double_{};
    std::array<std::uint16_t, 0x10000> encode_{};
};

const Gbk936Tables& tables() {
    static const Gbk936Tables instance;
    return instance;
}

// Decodes one character at offset; returns its byte size.
std::size_t decode_at(const Gbk936Tables& code_page, std::string_view gbk, std::size_t offset,
                      char16_t* unit) {
    const auto byte = static_cast<unsigned char>(gbk[offset]);
    if (byte < 0x80) {
        *unit = byte;
        return 1;
    }
    if (is_lead_byte(byte) && offset + 1 < gbk.size()) {
        if (char16_t decoded = code_page.pair(byte, static_cast<unsigned char>(gbk[offset + 1]))) {
            *unit = decoded;
            return 2;
        }
    }
    *unit = code_page.single(byte);
    return 1;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) {
    const Gbk936Tables& code_page = tables();
    std::u16string utf16;
    utf16.reserve(gbk.size());
    for (std::size_t offset = 0; offset < gbk.size();) {
        char16_t unit;
        offset += decode_at(code_page, gbk, offset, &unit);
        utf16.push_back(unit);
    }
    return utf16;
}

std::string utf16_to_gbk(std::u16string_view utf16) {
    const Gbk936Tables& code_page = tables();
    std::string gbk;
    gbk.reserve(utf16.size() * 2);
    for (std::size_t index = 0; index < utf16.size(); ++index) {
        const char16_t unit = utf16[index];
        if (unit < 0x80) {
            gbk.push_back(static_cast<char>(unit));
            continue;
        }
        const bool high_surrogate = unit >= 0xD800 && unit <= 0xDBFF;
        if (high_surrogate && index + 1 < utf16.size() && utf16[index + 1] >= 0xDC00 &&
            utf16[index + 1] <= 0xDFFF) {
            ++index;  // one character outside the basic plane: one "?"
        }
        const std::uint16_t code = code_page.encoded(unit);
        if (code == 0) {
            gbk.push_back(kUnmappable);
        } else if (code < 0x100) {
            gbk.push_back(static_cast<char>(code));
        } else {
            gbk.push_back(static_cast<char>(code >> 8));
            gbk.push_back(static_cast<char>(code & 0xFF));
        }
    }
    return gbk;
}

DecodedGbk::DecodedGbk(std::string_view gbk) {
    const Gbk936Tables& code_page = tables();
    utf16_.reserve(gbk.size());
    byte_offsets_.reserve(gbk.size() + 1);
    for (std::size_t offset = 0; offset < gbk.size();) {
        char16_t unit;
        const std::size_t size = decode_at(code_page, gbk, offset, &unit);
        utf16_.push_back(unit);
        byte_offsets_.push_back(static_cast<std::uint32_t>(offset));
        offset += size;
    }
    byte_offsets_.push_back(static_cast<std::uint32_t>(gbk.size()));
}

std::size_t DecodedGbk::byte_offset(std::size_t unit) const {
    if (unit >= byte_offsets_.size()) return byte_offsets_.back();
    return byte_offsets_[unit];
}

}  // namespace novel
