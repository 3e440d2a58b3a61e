// The header and cookie routines against plain versions of their
// descriptions, Base64 by decoding what it encodes, and the address reader
// on whatever comes in.
//
// Input: the cookies sent, the cookies set and a separator, each ended by a
// backslash and one more byte ("\\" is a backslash inside them); the rest is
// a header line. Base64 and the address reader take the whole input.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/reference_text.h"
#include "http/base64.h"
#include "http/header_cookies.h"
#include "http/url.h"

namespace novel::fuzz {
namespace {

namespace ref = novel::reference;

void check_header_line(std::string_view line) {
    const std::size_t colon = line.find(':');  // below 0x40: always a character of its own
    const std::string name = header_name(line);
    const std::string value = header_value(line);
    if (colon == std::string_view::npos) {
        FUZZ_CHECK(name.empty() && value.empty());
        return;
    }
    FUZZ_CHECK(name == ref::trim_text(line.substr(0, colon)));
    FUZZ_CHECK(value == ref::trim_text(line.substr(colon + 1)));
}

std::string reference_cookie_name(std::string_view piece) {
    return ref::trim_text(piece.substr(0, piece.find('=')));
}

std::string reference_remove_duplicates(std::string_view text, std::string_view separator) {
    TextList kept;
    for (const std::string& piece : ref::split_text(text, separator)) {
        if (std::find(kept.begin(), kept.end(), piece) == kept.end()) kept.push_back(piece);
    }
    std::string joined;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) joined += separator;
        joined += kept[i];
    }
    return joined;
}

// New pieces first, then old ones under a name not yet taken; "=deleted"
// pieces and exact repeats dropped; no spaces anywhere.
std::string reference_merge(std::string_view cookies, std::string_view new_cookies) {
    const std::string old_text = ref::remove_spaces(cookies);
    const std::string new_text = ref::remove_spaces(new_cookies);
    TextList merged = new_text.empty() ? TextList() : ref::split_text(new_text, ";");
    const TextList old_pieces = old_text.empty() ? TextList() : ref::split_text(old_text, ";");
    for (const std::string& piece : old_pieces) {
        const std::string name = reference_cookie_name(piece);
        if (std::none_of(merged.begin(), merged.end(), [&](const std::string& taken) {
                return reference_cookie_name(taken) == name;
            })) {
            merged.push_back(piece);
        }
    }
    TextList kept;
    for (const std::string& piece : merged) {
        if (!piece.ends_with("=deleted") &&
            std::find(kept.begin(), kept.end(), piece) == kept.end()) {
            kept.push_back(piece);
        }
    }
    std::string result;
    for (std::size_t i = 0; i < kept.size(); ++i) result += (i > 0 ? "; " : "") + kept[i];
    return result;
}

void check_cookies(const std::string& cookies, const std::string& new_cookies,
                   const std::string& separator) {
    std::string sent = cookies;
    std::string set = new_cookies;
    const std::string merged = merge_cookies(sent, set);
    FUZZ_CHECK(merged == sent);
    FUZZ_CHECK(set == ref::remove_spaces(new_cookies));
    FUZZ_CHECK(merged == reference_merge(cookies, new_cookies));

    FUZZ_CHECK(cookie_name(cookies) == reference_cookie_name(cookies));
    const TextList list = ref::split_text(new_cookies, ";");
    const auto at = std::find(list.begin(), list.end(), cookies);
    FUZZ_CHECK(index_in_list(list, cookies) ==
               (at == list.end() ? -1 : static_cast<int>(at - list.begin()) + 1));
    FUZZ_CHECK(cookie_name_in_list(list, separator) ==
               std::any_of(list.begin(), list.end(), [&](const std::string& piece) {
                   return reference_cookie_name(piece) == separator;
               }));
    FUZZ_CHECK(remove_duplicate_parts(cookies, separator) ==
               reference_remove_duplicates(cookies, separator));
}

int sextet(char c) {
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t at = kAlphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

void check_base64(std::string_view bytes) {
    const std::string text = base64_encode(bytes);
    FUZZ_CHECK(text.size() == (bytes.size() + 2) / 3 * 4);
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        int values[4];
        int present = 4;
        for (int k = 0; k < 4; ++k) {
            values[k] = sextet(text[i + static_cast<std::size_t>(k)]);
            if (values[k] < 0) {
                FUZZ_CHECK(text[i + static_cast<std::size_t>(k)] == '=' && k >= 2);
                FUZZ_CHECK(i + 4 == text.size());  // padding only at the very end
                present = std::min(present, k);
                values[k] = 0;
            }
        }
        const unsigned group =
            static_cast<unsigned>(values[0] << 18 | values[1] << 12 | values[2] << 6 | values[3]);
        for (int k = 0; k < present - 1; ++k) {
            decoded += static_cast<char>(group >> (16 - 8 * k) & 0xFFU);
        }
    }
    FUZZ_CHECK(decoded == bytes);
}

void check_url(std::string_view bytes) {
    const std::optional<std::string> host = url_host(bytes);
    if (!host) return;
    FUZZ_CHECK(
        std::none_of(host->begin(), host->end(), [](char c) { return c >= 'A' && c <= 'Z'; }));
    FUZZ_CHECK(bytes.find('\0') == std::string_view::npos);
}

}  // namespace
}  // namespace novel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace novel::fuzz;
    const std::string_view whole(reinterpret_cast<const char*>(data), size);
    FuzzedDataProvider input(data, size);
    const std::string cookies = input.ConsumeRandomLengthString();
    const std::string new_cookies = input.ConsumeRandomLengthString();
    const std::string separator = input.ConsumeRandomLengthString();
    const std::string line = input.ConsumeRemainingBytesAsString();
    check_header_line(line);
    check_cookies(cookies, new_cookies, separator);
    check_base64(whole);
    check_url(whole);
    return 0;
}
