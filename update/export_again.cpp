#include "update/export_again.h"

namespace novel {

std::vector<ExportAgain> export_updated_books(const Library& library,
                                              const std::vector<BookUpdate>& updates,
                                              std::stop_token stop) {
    std::vector<ExportAgain> written;
    for (const BookUpdate& update : updates) {
        if (stop.stop_requested()) break;
        if (update.outcome == UpdateOutcome::stopped ||
            (update.new_pages == 0 && update.updated_pages == 0)) {
            continue;
        }
        ExportAgain again{.book_number = update.book_number, .name = update.name};
        const ExportLookup last = library.last_export(update.book_number);
        if (!last.status.ok()) {
            again.result = {.end = BookExportEnd::library_failed, .reason = last.status.message};
        } else if (last.found) {
            again.record = last.found;
            again.result = export_book(library, update.book_number, *last.found, stop);
        }
        written.push_back(std::move(again));
    }
    return written;
}

}  // namespace novel
