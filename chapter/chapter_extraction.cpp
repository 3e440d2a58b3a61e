#include "chapter/chapter_extraction.h"

#include <optional>

#include "chapter/site.h"
#include "platform/gbk.h"
#include "regex/regex_engine.h"
#include "text/text_cutting.h"
#include "text/text_operations.h"

namespace novel {
namespace {
// The site's page layout, as literal markers.
constexpr std::u16string_view kLinkPattern = uR"re(<a href="(.*?)">)re";
constexpr std::string_view kTitleStart = R"(<div class="bookname"><h1>)";
constexpr std::string_view kTitleEnd = "</h1>";
constexpr std::string_view kContentMarker = R"(<div id="content">)";
constexpr std::string_view kContentEnd = "div>";
// "本章未完，点击下一页继续阅读" as GBK bytes: pages are GBK, this source is not.
constexpr std::string_view kContinuationNotice =
    "\xB1\xBE\xD5\xC2\xCE\xB4\xCD\xEA\xA3\xAC\xB5\xE3\xBB\xF7\xCF\xC2\xD2\xBB\xD2\xB3"
    "\xBC\xCC\xD0\xF8\xD4\xC4\xB6\xC1";
constexpr std::string_view kLineBreak = "\r\n";

// The site's 24th link on a chapter page leads to the page that follows.
constexpr std::size_t kNextLinkIndex = 24;
// Slashes before this byte stay: they belong to the title line.
constexpr int kSlashRemovalStart = 40;

// Compiled once for the whole program: matching only reads it, so every
// thread may share it.
const RegexEngine& link_pattern() {
    static const RegexEngine engine(std::u16string(kLinkPattern),
                                    {.ignore_case = true, .multiline = true, .global = true});
    return engine;
}

// How much of the page is decoded at a time while looking for the 24th link.
constexpr std::size_t kSearchPieceBytes = 4096;

// The address inside the 24th link of the page, as the page's GBK bytes.
// A link never spans a line break (the pattern's "." excludes it), so the page
// is decoded and searched a few lines at a time, from the top, until the 24th
// link turns up: on the site's pages it stands above the chapter body, which
// is then never decoded. Pieces end just behind a line feed, where GBK
// decoding starts afresh, so each piece decodes as it does within the page.
std::string next_link_path(std::string_view page) {
    std::size_t links_before = 0;
    while (!page.empty()) {
        // Whole lines of up to kSearchPieceBytes, or one longer line.
        std::size_t piece_end = page.size() <= kSearchPieceBytes
                                    ? page.size() - 1
                                    : page.rfind('\n', kSearchPieceBytes - 1);
        if (piece_end == std::string_view::npos) piece_end = page.find('\n');
        piece_end = piece_end == std::string_view::npos ? page.size() : piece_end + 1;
        const std::string_view piece = page.substr(0, piece_end);
        page.remove_prefix(piece_end);

        const DecodedGbk decoded(piece);
        std::size_t links_here = 0;
        const std::optional<MatchSpan> address = link_pattern().nth_match_group(
            decoded.utf16(), kNextLinkIndex - 1 - links_before, 1, &links_here);
        if (!address) return {};  // the search gave up: no link
        if (links_before + links_here < kNextLinkIndex) {
            links_before += links_here;
            continue;
        }
        if (!address->is_set() || address->length == 0) return {};
        const std::size_t begin = decoded.byte_offset(address->start);
        return std::string(piece.substr(begin, decoded.byte_offset(address->end()) - begin));
    }
    return {};
}

}  // namespace

Chapter extract_chapter(std::string_view page) {
    Chapter chapter;
    chapter.title = text_between(page, kTitleStart, kTitleEnd);

    std::string work;
    work.append(kLineBreak).append(chapter.title).append(kLineBreak);
    work.append(text_after_last(page, kContentMarker));
    work = replace_pairs(work, {{"&nbsp;", " "}, {"<br/><br/>", kLineBreak}});
    work = text_before_first(work, kContentEnd);
    work = replace_pairs(work, {{"<", ""}, {">", ""}, {"br", ""}, {"center", ""}});
    work = replace_pairs(work, {{kContinuationNotice, ""}, {"--", ""}});
    chapter.text = replace_pairs(work, {{"/", ""}}, {.start = kSlashRemovalStart});

    chapter.next_link = std::string(SITE_ORIGIN) + next_link_path(page);
    if (!is_site_address(chapter.next_link)) chapter.next_link = SITE_ORIGIN;
    return chapter;
}

bool has_chapter_content(std::string_view page) {
    return find_text(page, kContentMarker) != kNotFound;
}

}  // namespace novel
