#include "platform/utf8.h"

#include <optional>

#include "platform/gbk.h"

namespace novel {
namespace {

// One well-formed UTF-8 sequence at utf8[at], or nothing.
std::optional<char32_t> decode_utf8(std::string_view utf8, std::size_t at, std::size_t* length) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t size = 1;
    char32_t code = lead;
    char32_t minimum = 0;
    if (lead >= 0x80) {
        if ((lead & 0xE0) == 0xC0) {
            size = 2, code = lead & 0x1Fu, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            size = 3, code = lead & 0x0Fu, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            size = 4, code = lead & 0x07u, minimum = 0x10000;
        } else {
            return std::nullopt;
        }
    }
    if (at + size > utf8.size()) return std::nullopt;
    for (std::size_t k = 1; k < size; ++k) {
        const auto next = static_cast<unsigned char>(utf8[at + k]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    *length = size;
    return code;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t length = 1;
        const std::optional<char32_t> code = decode_utf8(utf8, at, &length);
        at += length;
        if (!code) {
            out.push_back(u'\uFFFD');
        } else if (*code >= 0x10000) {
            const char32_t offset = *code - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(*code));
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t at = 0; at < utf16.size(); ++at) {
        char32_t code = utf16[at];
        if (code >= 0xD800 && code <= 0xDBFF && at + 1 < utf16.size() && utf16[at + 1] >= 0xDC00 &&
            utf16[at + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++at] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string gbk_from_utf8(std::string_view utf8) { return utf16_to_gbk(utf8_to_utf16(utf8)); }

std::string utf8_from_gbk(std::string_view gbk) { return utf16_to_utf8(gbk_to_utf16(gbk)); }

}  // namespace novel
