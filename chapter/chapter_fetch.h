#pragma once
// A chapter page fetched from the site and extracted, with what the request
// says about how it went.

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "chapter/chapter_extraction.h"
#include "http/transport_error.h"

namespace novel {

struct FetchedChapter {
    // Extracted from whatever body came back: a failed exchange gives empty
    // texts and the origin alone as the next link.
    Chapter chapter;
    std::int32_t status = 0;
    TransportError error = TransportError::none;
    // The body as it came: the reader keeps the page and asks it for the book.
    std::string page;

    // A response came and its status was 2xx.
    [[nodiscard]] bool succeeded() const { return novel::succeeded(error, status); }
};

// A GET of link with the request routine's defaults, then extract_chapter.
// A stop requested on stop abandons the request at once.
[[nodiscard]] FetchedChapter fetch_chapter(std::string_view link, std::stop_token stop = {});

}  // namespace novel
