#pragma once
// A book's stored pages as the exports walk them: the book's own facts and
// its pages in chain order, one at a time, with a gap wherever a next link
// leads to a page that is not stored. Texts are GBK bytes as the site gave
// them; times are seconds since the epoch.

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace novel {

struct BookFacts {
    std::string book_number;     // the first path segment of its chapter addresses
    std::string name;            // GBK; the book number when the pages never said
    std::string author;          // GBK; empty when unknown
    std::string source_address;  // the book's folder on the site
    std::int64_t first_fetched = 0;
    std::int64_t last_fetched = 0;
};

struct ChainPage {
    std::string address;
    std::string chapter_key;  // "880005", "880005_2"
    std::string title;        // GBK
    std::string text;         // GBK, exactly as a download writes it after its CR LF
    std::string next_link;
    std::int64_t fetched_at = 0;
};

// The chain goes on at missing_address, which is not stored.
struct ChainGap {
    std::string missing_address;
};

using ChainItem = std::variant<ChainPage, ChainGap>;

// Called once per item in chain order; returning false ends the walk.
using ChainVisitor = std::function<bool(const ChainItem&)>;
// Walks a book's chain, calling the visitor for each item; one page's text
// in memory at a time.
using ChainWalk = std::function<void(const ChainVisitor&)>;

}  // namespace novel
