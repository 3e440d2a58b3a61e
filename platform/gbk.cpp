#include "platform/gbk.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
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
                encode_[unit] =
                    static_cast<std::uint16_t>((static_cast<unsigned char>(output[0]) << 8) |
                                               static_cast<unsigned char>(output[1]));
            }
        }
    }

    char16_t single(unsigned char byte) const { return single_[byte]; }
    // 0 when the pair is not a character of the code page.
    // Invalid trail bytes hold 0 in the table, so the lookup needs no test.
    char16_t pair(unsigned char lead, unsigned char trail) const {
        return double_[index(lead, trail)];
    }
    // 0 when unmappable; below 0x100 a single byte, otherwise lead << 8 | trail.
    std::uint16_t encoded(char16_t unit) const { return encode_[unit]; }

private:
    static std::size_t index(unsigned lead, unsigned trail) {
        return (lead - 0x81) * 0x100 + trail;
    }
    static char16_t decode_with(iconv_t decoder, const char* input, std::size_t size) {
        char output[4];
        if (convert_one(decoder, input, size, output, sizeof output) != 2) return 0;
        return static_cast<char16_t>(static_cast<unsigned char>(output[0]) |
                                     (static_cast<unsigned char>(output[1]) << 8));
    }

    std::array<char16_t, 0x100> single_{};
    std::array<char16_t, 0x7E * 0x100> double_{};
    std::array<std::uint16_t, 0x10000> encode_{};
};

const Gbk936Tables& tables() {
    static const Gbk936Tables instance;
    return instance;
}

constexpr unsigned kCheckpointShift = 6;  // a byte offset kept for every 64th unit

// The size in bytes of the character that starts at offset.
std::size_t character_size(const Gbk936Tables& code_page, const unsigned char* bytes,
                           std::size_t size, std::size_t offset) {
    const unsigned char byte = bytes[offset];
    if (is_lead_byte(byte) && offset + 1 < size && code_page.pair(byte, bytes[offset + 1]) != 0) {
        return 2;
    }
    return 1;
}

// Decodes the whole text into units sized up front and, when checkpoints is
// given, stores the byte offset of every 64th unit. A page is decoded on
// every regex search, so this loop is hot.
std::size_t decode_into(std::string_view gbk, char16_t* units, std::uint32_t* checkpoints) {
    constexpr std::size_t kCheckpointMask = (std::size_t{1} << kCheckpointShift) - 1;
    const Gbk936Tables& code_page = tables();
    const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
    const std::size_t size = gbk.size();
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < size;) {
        if (checkpoints != nullptr && (count & kCheckpointMask) == 0) {
            checkpoints[count >> kCheckpointShift] = static_cast<std::uint32_t>(offset);
        }
        const unsigned char byte = bytes[offset];
        if (byte < 0x80) {
            units[count++] = byte;
            ++offset;
            // Markup comes in long ASCII runs: take eight bytes at a time.
            while (offset + 8 <= size) {
                std::uint64_t word;
                std::memcpy(&word, bytes + offset, 8);
                if ((word & 0x8080808080808080ULL) != 0) break;
                const std::size_t next_checkpoint = (count + kCheckpointMask) & ~kCheckpointMask;
                if (checkpoints != nullptr && next_checkpoint < count + 8) {
                    checkpoints[next_checkpoint >> kCheckpointShift] =
                        static_cast<std::uint32_t>(offset + (next_checkpoint - count));
                }
                for (std::size_t i = 0; i < 8; ++i) units[count + i] = bytes[offset + i];
                count += 8;
                offset += 8;
            }
            continue;
        }
        const char16_t pair = (is_lead_byte(byte) && offset + 1 < size)
                                  ? code_page.pair(byte, bytes[offset + 1])
                                  : char16_t{0};
        if (pair != 0) {
            units[count++] = pair;
            offset += 2;
        } else {
            units[count++] = code_page.single(byte);
            ++offset;
        }
    }
    return count;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) {
    std::u16string utf16(gbk.size(), u'\0');
    utf16.resize(decode_into(gbk, utf16.data(), nullptr));
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

DecodedGbk::DecodedGbk(std::string_view gbk)
    : source_(gbk), utf16_(gbk.size(), u'\0'), checkpoints_((gbk.size() >> kCheckpointShift) + 1) {
    utf16_.resize(decode_into(gbk, utf16_.data(), checkpoints_.data()));
    checkpoints_.resize((utf16_.size() >> kCheckpointShift) + 1);
}

std::size_t DecodedGbk::byte_offset(std::size_t unit) const {
    if (unit >= utf16_.size()) return source_.size();
    const Gbk936Tables& code_page = tables();
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_.data());
    std::size_t offset = checkpoints_[unit >> kCheckpointShift];
    for (std::size_t at = unit & ~((std::size_t{1} << kCheckpointShift) - 1); at < unit; ++at) {
        offset += character_size(code_page, bytes, source_.size(), offset);
    }
    return offset;
}

std::string utf16_to_gb18030(std::u16string_view utf16) {
    const IconvHandle encoder = open_iconv("GB18030", "UTF-16LE");
    if (!encoder) return {};
    std::string out;
    out.reserve(utf16.size() * 2);
    // Each character on its own: a lone surrogate is then one "?" and the
    // rest carries on; texts are a few thousand characters.
    for (std::size_t at = 0; at < utf16.size();) {
        const char16_t unit = utf16[at];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && at + 1 < utf16.size() &&
                          utf16[at + 1] >= 0xDC00 && utf16[at + 1] <= 0xDFFF;
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
            ++at;
            continue;
        }
        const std::size_t units = pair ? 2 : 1;
        std::array<char, 4> input{};
        for (std::size_t k = 0; k < units; ++k) {
            input[2 * k] = static_cast<char>(utf16[at + k] & 0xFF);
            input[2 * k + 1] = static_cast<char>(utf16[at + k] >> 8);
        }
        std::array<char, 8> output{};
        const std::size_t made =
            convert_one(encoder.get(), input.data(), 2 * units, output.data(), output.size());
        if (made == 0) {
            out.push_back(kUnmappable);
        } else {
            out.append(output.data(), made);
        }
        at += units;
    }
    return out;
}

}  // namespace novel
