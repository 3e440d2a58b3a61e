#pragma once
// A book's own name and author as its chapter pages state them.

#include <string>
#include <string_view>

namespace novel {

// Texts are GBK.
struct BookInfo {
    std::string name;    // the book number when the page never says
    std::string author;  // empty when the page never says
    // The page named the book; a fallback name must not replace a known one.
    bool name_from_page = false;
};

// Pure and never fails. The name comes from the breadcrumb link to the
// book's own folder ("/BOOK/"), else from the description meta
// "...提供了AUTHOR创作的...《NAME》..."; the author from that meta.
[[nodiscard]] BookInfo extract_book_info(std::string_view page, std::string_view book_number);

}  // namespace novel
