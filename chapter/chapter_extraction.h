#pragma once
// Turns a chapter page into its clean text and finds the next page's address.

#include <string>
#include <string_view>

namespace novel {

// One chapter page, cleaned. Texts are GBK.
struct Chapter {
    std::string title;
    // CR LF, the title, CR LF, then the body without the site's markup debris.
    std::string text;
    // SITE_ORIGIN followed by the address of the page's 24th link; the origin
    // alone when the page has no such link, or when the two together would
    // not name the site's own host (or not parse as an address at all).
    std::string next_link;
};

// Pure: the same page always gives the same chapter, on any thread. A page
// that is empty or breaks the layout gives empty texts, never an error.
[[nodiscard]] Chapter extract_chapter(std::string_view page);

// The page holds the content marker a chapter's body follows; an error or
// rate-limit page answered with 200 does not.
[[nodiscard]] bool has_chapter_content(std::string_view page);

}  // namespace novel
