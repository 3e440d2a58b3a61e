#pragma once
// A stored book written out as its export record says: the one call behind
// an export command and behind writing an updated book's export again.

#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

#include "library/library.h"

namespace novel {

enum class BookExportEnd {
    written,
    no_pages,        // nothing stored of the book; nothing written
    library_failed,  // the library could not be read; the file is left as it was
    file_failed,     // the file could not be written; it is left as it was
    converter_failed,
    stopped,
};

struct BookExportResult {
    BookExportEnd end = BookExportEnd::written;
    std::size_t pages = 0;
    std::vector<std::string> gaps;  // addresses the chain goes on at that are not stored
    std::string reason;             // UTF-8, for people; empty when written
};

// Only reads the library; the file is replaced only when the export succeeds.
[[nodiscard]] BookExportResult export_book(const Library& library, std::string_view book_number,
                                           const ExportRecord& record, std::stop_token stop = {});

}  // namespace novel
