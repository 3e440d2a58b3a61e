#pragma once

#include <string>
#include <string_view>

namespace novel {

// The site's scheme and host, without a trailing slash; chapter addresses and
// the links taken from pages are appended to it.
inline constexpr std::string_view SITE_ORIGIN = "https://www.qubige.com";

// Whether the address, read as the transfer would read it, leads to the site
// itself: its scheme, host and port. A path such as "@127.0.0.1/", ":8443/"
// or ".other.example/" behind the origin would lead elsewhere.
[[nodiscard]] bool is_site_address(std::string_view link);

// SITE_ORIGIN/book/chapter.html, the numbers exactly as typed.
[[nodiscard]] std::string chapter_address(std::string_view book, std::string_view chapter);

struct ChapterIndex {
    std::string book_number;
    std::string chapter_number;
};

// The first path segment behind the last ".com/" of a chapter link, and
// what stands between it plus "/" and the next ".html".
[[nodiscard]] ChapterIndex chapter_index_of(std::string_view link);

}  // namespace novel
