#pragma once
// After an update: each changed book's last export written again, as it was
// asked for then (file, format, encoding, script), so a followed book's file
// keeps up with the library.

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "library/book_export.h"
#include "library/library.h"
#include "update/update_books.h"

namespace novel {

struct ExportAgain {
    std::string book_number;
    std::string name;                    // GBK, as the update has it
    std::optional<ExportRecord> record;  // unset: the book was never exported
    BookExportResult result;             // when there was a record
};

// Only the books an update gave new or changed pages; in the updates' order.
// Stops after the export that was running when stop was requested.
[[nodiscard]] std::vector<ExportAgain> export_updated_books(const Library& library,
                                                            const std::vector<BookUpdate>& updates,
                                                            std::stop_token stop = {});

}  // namespace novel
