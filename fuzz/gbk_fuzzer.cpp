// GBK decoding and encoding on any bytes: every UTF-16 unit of the decoded
// text covers one or two bytes, the offsets rise to the input's length, each
// character that decoded re-encodes to its own bytes, and encoding any UTF-16
// text gives back each character or "?" in its place.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/gbk.h"

namespace novel::fuzz {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

void check_decoding(std::string_view bytes) {
    const DecodedGbk decoded(bytes);
    const std::u16string& units = decoded.utf16();
    FUZZ_CHECK(units == gbk_to_utf16(bytes));
    FUZZ_CHECK(decoded.byte_offset(0) == 0);
    FUZZ_CHECK(decoded.byte_offset(units.size()) == bytes.size());
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        const std::size_t begin = decoded.byte_offset(unit);
        const std::size_t end = decoded.byte_offset(unit + 1);
        FUZZ_CHECK(end == begin + 1 || end == begin + 2);
        // A stray byte becomes U+FFFD on its own; a character survives the round trip.
        FUZZ_CHECK(units[unit] != kReplacement || end == begin + 1);
        if (units[unit] != kReplacement) {
            FUZZ_CHECK(utf16_to_gbk(units.substr(unit, 1)) == bytes.substr(begin, end - begin));
        }
    }
    // Encoding a whole text is encoding it unit by unit.
    std::string by_units;
    for (const char16_t unit : units) by_units += utf16_to_gbk(std::u16string(1, unit));
    FUZZ_CHECK(utf16_to_gbk(units) == by_units);
}

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Each character comes back as itself or as "?"; a surrogate pair is one
// character outside the basic plane, which GBK cannot hold.
void check_encoding(const std::u16string& units) {
    const std::u16string back = gbk_to_utf16(utf16_to_gbk(units));
    std::size_t at = 0;
    for (std::size_t i = 0; i < units.size(); ++i, ++at) {
        FUZZ_CHECK(at < back.size());
        if (is_high_surrogate(units[i]) && i + 1 < units.size() && is_low_surrogate(units[i + 1])) {
            FUZZ_CHECK(back[at] == u'?');
            ++i;
        } else {
            FUZZ_CHECK(back[at] == units[i] || back[at] == u'?');
        }
    }
    FUZZ_CHECK(at == back.size());
}

}  // namespace
}  // namespace novel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace novel::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check_decoding(bytes);
    check_encoding(utf16_units(bytes));
    return 0;
}
