#pragma once
// A stable 64-bit hash of bytes (FNV-1a), fed piece by piece: the same bytes
// give the same value on every machine and in every version, so the value
// may be stored in files and compared later.

#include <cstdint>
#include <string_view>

namespace novel {

class ContentHash {
public:
    ContentHash() = default;
    // Goes on from the value of an earlier hash of the bytes before.
    explicit ContentHash(std::uint64_t value) : value_(value) {}

    ContentHash& add(std::string_view bytes) {
        for (const char byte : bytes) {
            value_ ^= static_cast<unsigned char>(byte);
            value_ *= kPrime;
        }
        return *this;
    }
    [[nodiscard]] std::uint64_t value() const { return value_; }

private:
    static constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

}  // namespace novel
