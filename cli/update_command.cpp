#include "cli/update_command.h"

#include <cstdio>

#include "cli/exit_status.h"
#include "cli/library_commands.h"
#include "library/book_export.h"
#include "update/export_again.h"
#include "update/update_lines.h"

namespace novel::cli {
namespace {

std::string gbk(std::u16string_view text) { return gbk_of(text); }

int status_of(const std::vector<BookUpdate>& updates) {
    int status = kReachedEnd;
    for (const BookUpdate& update : updates) {
        switch (update.outcome) {
            case UpdateOutcome::stopped:
                return kInterrupted;
            case UpdateOutcome::network_failed:
                status = kNetworkFailed;
                break;
            case UpdateOutcome::library_failed:
                if (status == kReachedEnd) status = kFileFailed;
                break;
            case UpdateOutcome::checked:
            case UpdateOutcome::not_stored:
                break;
        }
    }
    return status;
}

}  // namespace

int update_command(const UpdateCommandOptions& options, std::stop_token stop) {
    if (options.library.off) {
        report_error(gbk(u"更新要用书库，不能与 --no-library 同用"), options.encoding);
        return kUsage;
    }
    OpenedForCommand opened = open_for_command(options.library, options.encoding);
    if (!opened.library) return opened.status;
    Library& library = *opened.library;
    // Every book named must be there before anything is fetched.
    for (const std::string& book : options.books) {
        const BookLookup found = library.book(book);
        if (!found.status.ok()) {
            report_error(gbk(u"无法读取书库：") + library_reason(found.status), options.encoding);
            return kFileFailed;
        }
        if (!found.found) {
            report_error(gbk(u"书库中没有这本书：") + book, options.encoding);
            return kUsage;
        }
    }
    SerialPages pages;
    const std::vector<BookUpdate> updates = update_books(library, options.books, pages, {}, stop);
    int status = status_of(updates);
    for (const BookUpdate& update : updates) {
        const std::string line = encoded(update_line(update), options.encoding) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    if (!options.export_again || status == kInterrupted) return status;
    for (const ExportAgain& again : export_updated_books(library, updates, stop)) {
        if (!again.record) {
            report_error(export_again_line(again), options.encoding);
            continue;
        }
        const int exported =
            report_export(again.result, again.name, again.record->path, options.encoding);
        if (exported == kInterrupted) return kInterrupted;
        if (exported != kReachedEnd && status == kReachedEnd) status = kFileFailed;
    }
    return status;
}

}  // namespace novel::cli
