// The information boxes of the range download. Messages are GBK; the path
// and the system's reason arrive as UTF-8 and are converted only here.

#include <optional>
#include <string>
#include <string_view>

#include "app/chapter_download.h"
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

// File names and system messages are UTF-8; a byte that does not start a
// well-formed sequence becomes U+FFFD, as in GBK decoding.
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

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

std::string from_utf8(std::string_view utf8) { return gbk(utf8_to_utf16(utf8)); }

std::string count(std::size_t n) { return std::to_string(n); }

std::string broken_chain_line(const RangeDownloadResult& result) {
    std::string line = gbk(u"下一页链接在第") + count(result.pages) + gbk(u"页后中断（");
    switch (result.end) {
        case RangeDownloadEnd::no_next_link:
            line += gbk(u"该页没有下一页链接");
            break;
        case RangeDownloadEnd::repeated_link:
            line += gbk(u"下一页链接指向本次已下载的页面");
            break;
        default:
            line += gbk(u"已达到每次") + count(MAX_PAGES_PER_RUN) + gbk(u"页的上限");
            break;
    }
    return line + gbk(u"），未到达结束章节。");
}

}  // namespace

std::string start_message() { return gbk(u"开始下载，请耐心等待"); }

std::string final_message(const RangeDownloadResult& result, std::string_view output_path) {
    const std::string done = gbk(u"下载完毕，请到同目录查看");
    switch (result.end) {
        case RangeDownloadEnd::reached_end:
            return done;
        case RangeDownloadEnd::no_next_link:
        case RangeDownloadEnd::repeated_link:
        case RangeDownloadEnd::page_limit:
            return done + "\r\n" + broken_chain_line(result);
        case RangeDownloadEnd::file_failed:
            break;
    }
    std::string message =
        gbk(result.failed_step == FileStep::read_back ? u"无法读取文件：" : u"无法写入文件：");
    message += from_utf8(output_path);
    message += "\r\n" + gbk(u"原因：") + from_utf8(result.file_reason);
    if (result.pages > 0) {
        message += "\r\n" + gbk(u"文件中保存了此前下载的") + count(result.pages) + gbk(u"页。");
    }
    return message;
}

std::string no_directory_message(std::string_view reason) {
    return gbk(u"找不到程序所在的目录，无法保存文件。") + "\r\n" + gbk(u"原因：") +
           from_utf8(reason);
}

}  // namespace novel
