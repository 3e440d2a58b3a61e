#include "chapter/book_info.h"

#include <array>
#include <optional>

namespace novel {
namespace {

// The GBK bytes of the words the site frames its facts with.
constexpr std::string_view kProvided = "\xcc\xe1\xb9\xa9\xc1\xcb";  // 提供了
constexpr std::string_view kWrote = "\xb4\xb4\xd7\xf7\xb5\xc4";     // 创作的
constexpr std::string_view kOpenTitle = "\xa1\xb6";                 // 《
constexpr std::string_view kCloseTitle = "\xa1\xb7";                // 》
// Links to the book's folder that name the table of contents, not the book.
constexpr std::array<std::string_view, 2> kGenericCaptions = {
    "\xd5\xc2\xbd\xda\xc4\xbf\xc2\xbc",  // 章节目录
    "\xc4\xbf\xc2\xbc",                  // 目录
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_ignoring_case(std::string_view text, std::size_t at, std::string_view prefix) {
    if (at > text.size() || text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[at + i]) != lower(prefix[i])) return false;
    }
    return true;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Finds needle at a character boundary: a byte search could match the
// second byte of one GBK character and the first of the next.
std::size_t find_gbk(std::string_view text, std::string_view needle, std::size_t from) {
    for (std::size_t at = from; at + needle.size() <= text.size();) {
        if (text.compare(at, needle.size(), needle) == 0) return at;
        const auto byte = static_cast<unsigned char>(text[at]);
        at += byte >= 0x81 && byte <= 0xFE && at + 1 < text.size() ? 2 : 1;
    }
    return std::string_view::npos;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// The few entities a name or an author may carry.
std::string decode_entities(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kEntities = {{
        {"&amp;", "&"},
        {"&lt;", "<"},
        {"&gt;", ">"},
        {"&quot;", "\""},
        {"&nbsp;", " "},
    }};
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool replaced = false;
        for (const auto& [entity, character] : kEntities) {
            if (starts_with_ignoring_case(text, at, entity)) {
                out += character;
                at += entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[at++];
    }
    return trimmed(out);
}

// The value of attribute name inside one tag's bytes, quoted or bare.
std::optional<std::string_view> attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = 0; at < tag.size(); ++at) {
        if (!is_space(tag[at]) || !starts_with_ignoring_case(tag, at + 1, name)) continue;
        std::size_t value = at + 1 + name.size();
        while (value < tag.size() && is_space(tag[value])) ++value;
        if (value >= tag.size() || tag[value] != '=') continue;
        ++value;
        while (value < tag.size() && is_space(tag[value])) ++value;
        if (value >= tag.size()) return std::nullopt;
        if (tag[value] == '"' || tag[value] == '\'') {
            const std::size_t end = tag.find(tag[value], value + 1);
            if (end == std::string_view::npos) return std::nullopt;
            return tag.substr(value + 1, end - value - 1);
        }
        std::size_t end = value;
        while (end < tag.size() && !is_space(tag[end]) && tag[end] != '>') ++end;
        return tag.substr(value, end - value);
    }
    return std::nullopt;
}

// Calls visit(tag, end) for each tag opened as "<NAME" ('<' never is the
// second byte of a GBK character, so a byte scan is safe); end is the
// position behind its '>'. visit returns true to stop.
template <typename Visit>
void each_tag(std::string_view page, std::string_view name, Visit visit) {
    for (std::size_t at = page.find('<'); at != std::string_view::npos;
         at = page.find('<', at + 1)) {
        if (!starts_with_ignoring_case(page, at + 1, name)) continue;
        const std::size_t after = at + 1 + name.size();
        if (after >= page.size() || !is_space(page[after])) continue;
        const std::size_t close = page.find('>', after);
        if (close == std::string_view::npos) return;
        if (visit(page.substr(at, close - at), close + 1)) return;
    }
}

bool links_to_folder(std::string_view href, std::string_view book_number) {
    // "/BOOK/" or an absolute address ending in it.
    const std::string folder = "/" + std::string(book_number) + "/";
    if (href == folder) return true;
    return href.ends_with(folder) && href.find("://") != std::string_view::npos &&
           href.find('/', href.find("://") + 3) == href.size() - folder.size();
}

std::string breadcrumb_name(std::string_view page, std::string_view book_number) {
    std::string name;
    each_tag(page, "a", [&](std::string_view tag, std::size_t end) {
        const auto href = attribute(tag, "href");
        if (!href || !links_to_folder(*href, book_number)) return false;
        const std::size_t caption_end = page.find('<', end);
        if (caption_end == std::string_view::npos) return true;
        std::string caption = decode_entities(page.substr(end, caption_end - end));
        for (const std::string_view generic : kGenericCaptions) {
            if (caption == generic) return false;
        }
        name = std::move(caption);
        return !name.empty();
    });
    return name;
}

std::string description(std::string_view page) {
    std::string content;
    each_tag(page, "meta", [&](std::string_view tag, std::size_t) {
        const auto name = attribute(tag, "name");
        if (!name || name->size() != 11 || !starts_with_ignoring_case(*name, 0, "description")) {
            return false;
        }
        if (const auto value = attribute(tag, "content")) content = std::string(*value);
        return true;
    });
    return content;
}

}  // namespace

BookInfo extract_book_info(std::string_view page, std::string_view book_number) {
    BookInfo info;
    info.name = breadcrumb_name(page, book_number);

    const std::string meta = description(page);
    if (const std::size_t provided = find_gbk(meta, kProvided, 0); provided != std::string::npos) {
        const std::size_t from = provided + kProvided.size();
        if (const std::size_t wrote = find_gbk(meta, kWrote, from); wrote != std::string::npos) {
            info.author = decode_entities(std::string_view(meta).substr(from, wrote - from));
            const std::size_t open = find_gbk(meta, kOpenTitle, wrote + kWrote.size());
            const std::size_t close = open == std::string::npos
                                          ? std::string::npos
                                          : find_gbk(meta, kCloseTitle, open + kOpenTitle.size());
            if (info.name.empty() && close != std::string::npos) {
                const std::size_t start = open + kOpenTitle.size();
                info.name = decode_entities(std::string_view(meta).substr(start, close - start));
            }
        }
    }
    info.name_from_page = !info.name.empty();
    if (!info.name_from_page) info.name = std::string(book_number);
    return info;
}

}  // namespace novel
