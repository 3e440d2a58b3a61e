#pragma once
// A stored book as an EPUB 3 file: a title page, a table of contents and one
// document per chapter, written as the walk hands over the pages so that
// memory stays flat however long the book is.

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "library/book_pages.h"

namespace novel {

struct EpubOptions {
    std::string output_path;   // file-system name (UTF-8); replaced only when the export succeeds
    bool traditional = false;  // texts and titles in traditional characters, language zh-Hant
    std::optional<std::int64_t> modified_at;  // seconds since the epoch; nullopt: now
    int compression_level = 1;  // deflate, 1 to 9; text packs nearly as small at 1, much faster
    std::stop_token stop;
    std::function<void(int pages_read)> on_page;  // after each page of the walk
};

enum class EpubError {
    none,
    no_chapters,  // the walk gave no page at all
    converter,    // the traditional converter could not be opened or failed on a text
    output,       // the file, or the working folder beside it, could not be written
    cancelled,
};

struct EpubResult {
    bool ok = false;
    EpubError error = EpubError::none;
    std::string reason;  // UTF-8, for people; empty when ok
    int chapters_written = 0;
    int pages_read = 0;
    std::vector<std::string> gaps;  // the missing addresses, in chain order
};

// Walks the book once. On any failure the file at output_path is left as it
// was (or absent), and no working files remain beside it.
[[nodiscard]] EpubResult write_epub(const BookFacts& book, const ChainWalk& walk,
                                    const EpubOptions& options);

}  // namespace novel
