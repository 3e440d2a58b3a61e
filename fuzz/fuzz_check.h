#pragma once
// What every fuzz target shares: a check that stops the run with the failed
// condition (libFuzzer then keeps the input), and a way to reach any UTF-16
// unit from bytes while plain ASCII stays readable in the seed files.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace novel::fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

// A macro, so that the message can quote the condition.
#define FUZZ_CHECK(condition) \
    ((condition) ? void() : ::novel::fuzz::fail(#condition, __FILE__, __LINE__))

// Each byte is the unit of its value, except that 0xFF and the two bytes
// after it make one unit (high byte first): lone surrogates, U+FFFD and any
// other unit stay within reach.
inline std::u16string utf16_units(std::string_view bytes) {
    std::u16string units;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0xFF && i + 2 < bytes.size()) {
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) << 8U |
                                                  static_cast<unsigned char>(bytes[i + 2])));
            i += 2;
        } else {
            units.push_back(byte);
        }
    }
    return units;
}

}  // namespace novel::fuzz
