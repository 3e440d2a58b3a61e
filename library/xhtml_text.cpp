#include "library/xhtml_text.h"

#include <cstdint>

#include "platform/gbk.h"
#include "platform/utf8.h"

namespace novel {
namespace {

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

// The length of the well-formed UTF-8 sequence at the front of text and its
// code point; length 0 when the bytes there are not one.
struct Decoded {
    std::size_t length = 0;
    std::uint32_t code = 0;
};

Decoded decode_one(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {1, lead};
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, lowest = 0x10000;
    } else {
        return {};
    }
    if (text.size() < length) return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return {};
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < lowest || code > 0x10FFFF) return {};
    return {length, code};
}

bool allowed_in_xml(std::uint32_t code) {
    if (code < 0x20) return code == 0x09 || code == 0x0A || code == 0x0D;
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    return code != 0xFFFE && code != 0xFFFF;
}

template <typename Append>
void for_each_allowed(std::string_view utf8, Append&& append) {
    for (std::size_t at = 0; at < utf8.size();) {
        const Decoded one = decode_one(utf8.substr(at));
        if (one.length == 0) {
            ++at;  // a stray byte goes alone; what follows may be well-formed again
            continue;
        }
        if (allowed_in_xml(one.code)) append(utf8.substr(at, one.length));
        at += one.length;
    }
}

std::string_view trim_indent(std::string_view line) {
    for (;;) {
        if (line.starts_with(' ') || line.starts_with('\t')) {
            line.remove_prefix(1);
        } else if (line.starts_with(kFullWidthSpace)) {
            line.remove_prefix(kFullWidthSpace.size());
        } else if (line.starts_with(kNoBreakSpace)) {
            line.remove_prefix(kNoBreakSpace.size());
        } else {
            break;
        }
    }
    while (line.ends_with(' ') || line.ends_with('\t') || line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    while (line.ends_with(kFullWidthSpace)) line.remove_suffix(kFullWidthSpace.size());
    return line;
}

}  // namespace

std::string xml_characters_only(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for_each_allowed(utf8, [&](std::string_view character) { out.append(character); });
    return out;
}

std::string xml_escape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    append_xml_escaped(utf8, &out);
    return out;
}

void append_xml_escaped(std::string_view utf8, std::string* out_string) {
    std::string& out = *out_string;
    for_each_allowed(utf8, [&](std::string_view character) {
        switch (character[0]) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                out.append("&quot;");
                break;
            default:
                out.append(character);
        }
    });
}

std::vector<std::string_view> page_paragraphs(std::string_view utf8_text) {
    std::vector<std::string_view> paragraphs;
    if (utf8_text.starts_with("\r\n")) utf8_text.remove_prefix(2);
    bool title_line = true;
    while (!utf8_text.empty()) {
        const std::size_t end = utf8_text.find('\n');
        const std::string_view line = utf8_text.substr(0, end);
        utf8_text.remove_prefix(end == std::string_view::npos ? utf8_text.size() : end + 1);
        if (title_line) {
            title_line = false;
            continue;
        }
        const std::string_view paragraph = trim_indent(line);
        if (!paragraph.empty()) paragraphs.push_back(paragraph);
    }
    return paragraphs;
}

}  // namespace novel
