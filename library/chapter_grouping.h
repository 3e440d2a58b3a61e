#pragma once
// How a book's pages make up its chapters: a chapter the site splits over
// several pages stores them under the keys N, N_2, N_3, ..., and writes a
// page number behind each page's title.

#include <string>
#include <string_view>

namespace novel {

struct ChapterKey {
    std::string_view chapter;  // "880005" for "880005_2"
    int page = 1;              // 2 for "880005_2"; 1 for a key without a page number
};

[[nodiscard]] ChapterKey parse_chapter_key(std::string_view key);

// The page continues the chapter whose first page had key chapter_of_previous.
[[nodiscard]] bool continues_chapter(std::string_view chapter_of_previous, std::string_view key);

// The UTF-8 title without the page number the site puts behind it:
// "（2）", "（1/2）", "(2/3)", in half- or full-width brackets, digits and
// slash, with the spaces ahead of it. A title that is nothing but such a
// number stays as it is.
[[nodiscard]] std::string strip_page_suffix(std::string_view utf8_title);

}  // namespace novel
